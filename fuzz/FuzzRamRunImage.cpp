// RAM-run image files as the library reads them: the format decoder, then the loader over a file.
#include "FuzzTarget.h"
#include "FuzzWorkDir.h"

#include "LodFormat.h"
#include "tgtlink/LodData.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    quint32 kind = 0, chip = 0;
    QByteArray payload;
    const bool decoded = LodFormat::decode(bytes, kind, chip, payload);
    // The format has one encoding: what decodes is exactly what the encoder writes for it.
    if (decoded)
        FUZZ_CHECK(LodFormat::encode(kind, chip, payload) == bytes);

    const QString path = FuzzWorkDir::path(QStringLiteral("image.lod"));
    FUZZ_CHECK(FuzzWorkDir::writeFile(path, bytes));
    LodData lod;
    FUZZ_CHECK(lod.load(path) == decoded);
    if (decoded) {
        FUZZ_CHECK(lod.isLoaded() && lod.chipId() == chip && lod.connectionKind() == kind);
        FUZZ_CHECK(lod.payload() == payload);
    }
    return 0;
}
