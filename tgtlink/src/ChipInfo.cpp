#include "tgtlink/ChipInfo.h"

#include "BackendConnection.h"
#include "BenchPaths.h"
#include "TextIn.h"
#include "tgtlink/TargetError.h"

#include <QRegularExpression>

namespace {

// The chips this tool has RAM-run images for.
constexpr unsigned SupportedChips[] = {0x51A0, 0x51A1, 0x52B0, 0x53C0};

} // namespace

ChipInfo::ChipInfo(TargetConnection *connection) : m_connection(connection) {}

ChipInfo::~ChipInfo() = default;

int ChipInfo::hostPrepareRamRun(bool versionCheck)
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    const int rc = c->functions().prepare(c->handle(), versionCheck ? 1 : 0);
    if (rc != TGT_OK)
        return rc;
    m_prepared = true;
    return TGT_OK;
}

int ChipInfo::getChipId(unsigned &id)
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    uint32_t chip = 0;
    const int rc = c->functions().chip_id(c->handle(), &chip);
    if (rc != TGT_OK)
        return rc;
    m_chipId = chip;
    m_haveChipId = true;
    id = m_chipId;
    return TGT_OK;
}

int ChipInfo::getVersion(std::string &version)
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    std::string text;
    const int rc = TextIn::read(text, [c](char *buffer, size_t size, size_t *length) {
        return c->functions().software_version(c->handle(), buffer, size, length);
    });
    if (rc != TGT_OK)
        return rc;
    if (text.empty())
        return TGT_ERR_NO_VERSION;
    version = text;
    return TGT_OK;
}

void ChipInfo::clearCache()
{
    m_haveChipId = false;
    m_chipId = 0;
}

bool ChipInfo::IsChipIdSupported(unsigned id)
{
    for (unsigned chip : SupportedChips) {
        if (chip == id)
            return true;
    }
    return false;
}

int ChipInfo::ReadChipId(TargetConnection *connection, unsigned &id)
{
    ChipInfo info(connection);
    return info.getChipId(id);
}

QString ChipInfo::RamrunFname(unsigned kind, unsigned chipId, const std::string &flashModel)
{
    static const QRegularExpression model(QStringLiteral("^[A-Za-z0-9_-]{1,31}$"));
    const QString folder = BenchPaths::kindFolder(kind);
    const QString name = QString::fromStdString(flashModel);
    if (folder.isEmpty() || !IsChipIdSupported(chipId) || !model.match(name).hasMatch())
        return QString();
    return QStringLiteral("ramrun/%1_%2_%3.lod")
        .arg(folder, QStringLiteral("%1").arg(chipId, 4, 16, QLatin1Char('0')), name.toLower());
}
