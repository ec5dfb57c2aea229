#include "shell/FPDoverARizSettingDlg.h"

#include "ui_FPDoverARizSettingDlg.h"

#include "config/AppPaths.h"
#include "config/SettingEditRules.h"
#include "config/ToolSettings.h"
#include "identity/BtAddressGenerator.h"
#include "shell/FileChoosers.h"
#include "shell/MessageBoxes.h"
#include "tgtlink/StationSetting.h"

#include <QFileInfo>
#include <QIntValidator>
#include <QKeyEvent>
#include <QQueue>
#include <QRegularExpressionValidator>
#include <algorithm>

// Resources of a static library are registered by hand (again, when the window already did: harmless), so
// that the dialog shows its logo whoever opens it.
static void initDialogResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {
QQueue<FPDoverARizSettingDlg::Answer> &answers()
{
    static QQueue<FPDoverARizSettingDlg::Answer> queue;
    return queue;
}

void restrict(QLineEdit *field, const QString &pattern)
{
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), field));
}

// A line edit holds at most 32767 characters; a length from a damaged file must not wrap around.
int fieldLength(int length)
{
    return std::clamp(length, 0, 32767);
}
} // namespace

FPDoverARizSettingDlg::FPDoverARizSettingDlg(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::FPDoverARizSettingDlg>())
{
    initDialogResources();
    ui->setupUi(this);
    ui->LogoLabel->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    m_imeiCombos = {ui->imei1ComboBox, ui->imei2ComboBox, ui->imei3ComboBox, ui->imei4ComboBox};

    connect(ui->okBtn, &QPushButton::clicked, this, &FPDoverARizSettingDlg::onOkBtnClicked);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &FPDoverARizSettingDlg::onCancelBtnClicked);
    connect(ui->ImeiBrowseBtn, &QPushButton::clicked, this, &FPDoverARizSettingDlg::onSelectIMEIExcelFile);
    connect(ui->PsnBrowseBtn, &QPushButton::clicked, this, &FPDoverARizSettingDlg::onSelectPsnExcelFile);
    connect(ui->MbsnBrowseBtn, &QPushButton::clicked, this, &FPDoverARizSettingDlg::onSelectMbsnExcelFile);
    connect(ui->ImeiInitNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::imeiInitNumChanged);
    connect(ui->ImeiMaskNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::imeiMaskNumChanged);
    connect(ui->MbsnInitNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::mbsnInitNumChanged);
    connect(ui->MbsnMaskNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::mbsnMaskNumChanged);
    connect(ui->PsnInitNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::psnInitNumChanged);
    connect(ui->PsnMaskNumberLE, &QLineEdit::textChanged, this, &FPDoverARizSettingDlg::psnMaskNumChanged);
    connect(ui->imeiNumberComboBox, &QComboBox::currentIndexChanged, this, &FPDoverARizSettingDlg::imeiNumberChanged);
    connect(ui->BTManulRadioBtn, &QRadioButton::clicked, this, &FPDoverARizSettingDlg::onBtAutoGenRadioBtnClicked);
    connect(ui->BTAutoGenRadioBtn, &QRadioButton::clicked, this, &FPDoverARizSettingDlg::onBtAutoGenRadioBtnClicked);
    connect(ui->imeiGroupBox, &QGroupBox::clicked, this, &FPDoverARizSettingDlg::onImeiEnableChanged);

    m_lastDirectory = AppPaths::appDir();
    installRestrictions();
    setStyleSheet(QStringLiteral("* { font: 13pt \"MS Shell Dlg 2\"; }"));
}

FPDoverARizSettingDlg::~FPDoverARizSettingDlg() = default;

void FPDoverARizSettingDlg::installRestrictions()
{
    restrict(ui->BTbeginAddrLEdit, QStringLiteral("[a-fA-F0-9]+"));
    restrict(ui->BTEndAddrLEdit, QStringLiteral("[a-fA-F0-9]+"));
    for (QLineEdit *field : {ui->ImeiMaxLNumLE, ui->MbsnMaxLNumLE, ui->PsnMaxLNumLE})
        field->setValidator(new QIntValidator(1, ToolSettings::MaxGenerateNum, field));
    restrict(ui->MbsnInitNumberLE, QStringLiteral("[a-zA-Z0-9]+"));
    restrict(ui->PsnInitNumberLE, QStringLiteral("[a-zA-Z0-9]+"));
    restrict(ui->MbsnMaskNumberLE, QStringLiteral("[a-zA-Z0-9*]+"));
    restrict(ui->PsnMaskNumberLE, QStringLiteral("[a-zA-Z0-9*]+"));
    restrict(ui->ImeiInitNumberLE, QStringLiteral("[0-9]+"));
    restrict(ui->ImeiMaskNumberLE, QStringLiteral("[0-9*]+"));
    ui->defaultIMEILEdit->setEnabled(false);
}

void FPDoverARizSettingDlg::loadFrom(ToolSettings &settings)
{
    ToolSettings &s = settings;
    // The second assignment wins: a checked button of an exclusive pair cannot be unchecked by itself.
    ui->comRadioBtn->setChecked(s.useCom);
    ui->usbRadioBtn->setChecked(s.useUsb);

    fillStations(s.currentStation, s.checkStation);
    ui->phaseGroupBox->setChecked(s.isPhaseCheck);
    ui->phaseGroupBox->setEnabled(s.isEnablePhaseCheck);

    ui->ImeiFileLE->setText(s.ImeiFromFile);
    ui->ImeiInitNumberLE->setText(s.ImeiInitNum14);
    ui->ImeiMaskNumberLE->setText(s.ImeiMaskNum14);
    ui->ImeiMaxLNumLE->setText(QString::number(s.ImeiMaxNum));
    ui->ImeiInitNumberLE->setMaxLength(SettingEditRules::ImeiCodeLength);
    ui->ImeiMaskNumberLE->setMaxLength(SettingEditRules::ImeiCodeLength);

    // The first IMEI's type decides the source of all four.
    const int firstType = s.imeiInputTypes.value(0);
    if (firstType == InputLoadFromFile || firstType == InputCustom) {
        (firstType == InputLoadFromFile ? ui->ImeiLFromFileRBtn : ui->ImeiCustomRBtn)->setChecked(true);
        for (QComboBox *combo : std::as_const(m_imeiCombos))
            combo->setCurrentIndex(0);
    } else {
        ui->ImeiDefaultMethodRBtn->setChecked(true);
        for (int i = 0; i < m_imeiCombos.size(); ++i)
            m_imeiCombos[i]->setCurrentIndex(SettingEditRules::imeiComboIndex(i, s.imeiInputTypes.value(i)));
    }
    ui->ImeiAdd1CB->setChecked(s.NextAdd);
    ui->ImeiRepetitiveCKBox->setChecked(s.ImeiCheckRepetitive);
    ui->SaveIMEICKBox->setChecked(s.ImeiSave);

    ui->MbsnFileLE->setText(s.MbsnFromFile);
    SettingEditRules::normaliseMbsnCodes(s);
    ui->MbsnInitNumberLE->setText(s.MbsnInitNum);
    ui->MbsnMaskNumberLE->setText(s.MbsnMaskNum);
    ui->MbsnInitNumberLE->setMaxLength(fieldLength(s.Mbsnlen));
    ui->MbsnMaskNumberLE->setMaxLength(fieldLength(s.Mbsnlen));
    ui->MbsnMaxLNumLE->setText(QString::number(s.MbsnMaxNum));
    const auto showSerialSource = [](int type, QRadioButton *manual, QRadioButton *fromFile, QRadioButton *custom,
                                     QRadioButton *autoGen) {
        switch (type) {
        case InputManual:
            manual->setChecked(true);
            break;
        case InputLoadFromFile:
            fromFile->setChecked(true);
            break;
        case InputCustom:
            custom->setChecked(true);
            break;
        case InputAutoGeneration:
            autoGen->setChecked(true);
            break;
        default: // "Manul Input", as the dialog starts
            break;
        }
    };
    showSerialSource(s.MbsnInputType, ui->MbsnManulIptRBtn, ui->MbsnLFromFileRBtn, ui->MbsnCustomRBtn,
                     ui->MbsnAutoGenRBtn);
    ui->MbsnRepetitiveCKBox->setChecked(s.MbsnCheckRepetitive);
    ui->MbsnSaveCKBox->setChecked(s.MbsnSave);

    ui->PsnFileLE->setText(s.PsnFromFile);
    ui->PsnInitNumberLE->setText(s.PsnInitNum);
    ui->PsnMaskNumberLE->setText(s.PsnMaskNum);
    ui->PsnInitNumberLE->setMaxLength(fieldLength(s.Psnlen));
    ui->PsnMaskNumberLE->setMaxLength(fieldLength(s.Psnlen));
    ui->PsnMaxLNumLE->setText(QString::number(s.PsnMaxNum));
    showSerialSource(s.PsnInputType, ui->PsnManulIptRBtn, ui->PsnLFromFileRBtn, ui->PsnCustomRBtn, ui->PsnAutoGenRBtn);
    ui->PsnRepetitiveCKBox->setChecked(s.PsnCheckRepetitive);
    ui->PsnSaveCKBox->setChecked(s.PsnSave);

    if (s.BTInputType == InputManual)
        ui->BTManulRadioBtn->setChecked(true);
    else if (s.BTInputType == InputAutoGeneration)
        ui->BTAutoGenRadioBtn->setChecked(true);
    (s.BTIsAutoAddr ? ui->BTAddressRadioBtn : ui->BTTimeRadioBtn)->setChecked(true);
    ui->autoGenBTGroupBox->setEnabled(s.BTInputType == InputAutoGeneration);
    ui->BTbeginAddrLEdit->setText(s.BTInitAddr);
    ui->BTEndAddrLEdit->setText(s.BTEndAddr);
    ui->BTbeginAddrLEdit->setMaxLength(s.btAddrLen);
    ui->BTEndAddrLEdit->setMaxLength(s.btAddrLen);
    ui->BTSaveCKBox->setChecked(s.BTSave);
    ui->BTRepetitiveCKBox->setChecked(s.BTCheckRepetitive);

    ui->imeiGroupBox->setChecked(s.RunType & RunImei);
    ui->mbsnGroupBox->setChecked(s.RunType & RunMbsn);
    ui->psnGroupBox->setChecked(s.RunType & RunPsn);
    ui->mBTGroupBox->setChecked(s.RunType & RunBt);

    // A count outside 1 to 4 selects nothing; the count rule then treats it as 1.
    const bool countOffered = s.ImeiNum >= 1 && s.ImeiNum <= SettingEditRules::MaxImeiCount;
    ui->imeiNumberComboBox->setCurrentIndex(countOffered ? s.ImeiNum - 1 : -1);
    if (s.RunType & RunImei)
        applyImeiCount();

    ui->defaultIMEILEdit->setText(s.ImeiDefaultValue);
    ui->initFactCKBox->setEnabled(s.isEnableInitFactData);
    ui->initFactCKBox->setChecked(s.initFactData);
    ui->ckFactoryReset->setChecked(s.FactoryReset);
    ui->ckVersion->setChecked(s.RunType & RunCheckVersion);
}

void FPDoverARizSettingDlg::fillStations(const QString &currentStation, const QString &checkStation)
{
    ui->phaseCurrentStaComBox->clear();
    ui->phaseCheckStaComBox->clear();
    const QStringList stations = QStringList{QString()} + StationSetting::Instance()->getStationNames();
    ui->phaseCurrentStaComBox->addItems(stations);
    ui->phaseCheckStaComBox->addItems(stations);
    // A station the line does not list selects nothing, and is stored as empty.
    ui->phaseCurrentStaComBox->setCurrentIndex(int(stations.indexOf(currentStation)));
    ui->phaseCheckStaComBox->setCurrentIndex(int(stations.indexOf(checkStation)));
}

void FPDoverARizSettingDlg::storeTo(ToolSettings &settings)
{
    ToolSettings &s = settings;
    s.useCom = ui->comRadioBtn->isChecked();
    s.useUsb = ui->usbRadioBtn->isChecked();
    s.isPhaseCheck = ui->phaseGroupBox->isChecked();
    s.checkStation = ui->phaseCheckStaComBox->currentText();
    s.currentStation = ui->phaseCurrentStaComBox->currentText();

    // Rebuilt from the controls: bits the dialog does not show are dropped.
    s.RunType = 0;
    if (ui->imeiGroupBox->isChecked())
        s.RunType |= RunImei;
    if (ui->mbsnGroupBox->isChecked())
        s.RunType |= RunMbsn;
    if (ui->psnGroupBox->isChecked())
        s.RunType |= RunPsn;
    if (ui->mBTGroupBox->isChecked())
        s.RunType |= RunBt;

    s.ImeiNum = SettingEditRules::imeiCount(ui->imeiNumberComboBox->currentText());
    s.ImeiCheckRepetitive = ui->ImeiRepetitiveCKBox->isChecked();
    s.ImeiSave = ui->SaveIMEICKBox->isChecked();
    // Kept within 1 to 10000 now, as the next load would: a pool of no values would be prepared until then.
    s.ImeiMaxNum = SettingEditRules::maxNumber(ui->ImeiMaxLNumLE->text());
    s.ImeiFromFile = ui->ImeiFileLE->text();
    s.ImeiInitNum14 = ui->ImeiInitNumberLE->text();
    s.ImeiMaskNum14 = ui->ImeiMaskNumberLE->text();
    s.NextAdd = ui->ImeiAdd1CB->isChecked();

    if (s.imeiInputTypes.size() < m_imeiCombos.size())
        s.imeiInputTypes.resize(m_imeiCombos.size());
    for (int i = 0; i < m_imeiCombos.size(); ++i) {
        if (ui->ImeiDefaultMethodRBtn->isChecked())
            s.imeiInputTypes[i] = m_imeiCombos[i]->currentIndex();
        else if (ui->ImeiLFromFileRBtn->isChecked())
            s.imeiInputTypes[i] = InputLoadFromFile;
        else if (ui->ImeiCustomRBtn->isChecked())
            s.imeiInputTypes[i] = InputCustom;
    }

    const auto serialSource = [](int &type, QRadioButton *manual, QRadioButton *fromFile, QRadioButton *custom,
                                 QRadioButton *autoGen) {
        if (manual->isChecked())
            type = InputManual;
        else if (fromFile->isChecked())
            type = InputLoadFromFile;
        else if (custom->isChecked())
            type = InputCustom;
        else if (autoGen->isChecked())
            type = InputAutoGeneration;
    };
    s.MbsnFromFile = ui->MbsnFileLE->text();
    s.MbsnInitNum = ui->MbsnInitNumberLE->text();
    s.MbsnMaskNum = ui->MbsnMaskNumberLE->text();
    serialSource(s.MbsnInputType, ui->MbsnManulIptRBtn, ui->MbsnLFromFileRBtn, ui->MbsnCustomRBtn, ui->MbsnAutoGenRBtn);
    s.MbsnCheckRepetitive = ui->MbsnRepetitiveCKBox->isChecked();
    s.MbsnSave = ui->MbsnSaveCKBox->isChecked();
    s.MbsnMaxNum = SettingEditRules::maxNumber(ui->MbsnMaxLNumLE->text());

    s.PsnFromFile = ui->PsnFileLE->text();
    s.PsnInitNum = ui->PsnInitNumberLE->text();
    s.PsnMaskNum = ui->PsnMaskNumberLE->text();
    serialSource(s.PsnInputType, ui->PsnManulIptRBtn, ui->PsnLFromFileRBtn, ui->PsnCustomRBtn, ui->PsnAutoGenRBtn);
    s.PsnCheckRepetitive = ui->PsnRepetitiveCKBox->isChecked();
    s.PsnSave = ui->PsnSaveCKBox->isChecked();
    s.PsnMaxNum = SettingEditRules::maxNumber(ui->PsnMaxLNumLE->text());

    if (ui->BTManulRadioBtn->isChecked())
        s.BTInputType = InputManual;
    else
        s.BTInputType = ui->BTAutoGenRadioBtn->isChecked() ? InputAutoGeneration : InputManual;
    s.BTIsAutoAddr = !ui->BTTimeRadioBtn->isChecked();
    // Kept lower case, the one form of an address, which the counter copies from the start.
    s.BTInitAddr = ui->BTbeginAddrLEdit->text().toLower();
    s.BTEndAddr = ui->BTEndAddrLEdit->text().toLower();
    s.BTSave = ui->BTSaveCKBox->isChecked();
    s.BTCheckRepetitive = ui->BTRepetitiveCKBox->isChecked();

    if (s.isEnableInitFactData)
        s.initFactData = ui->initFactCKBox->isChecked();
    s.FactoryReset = ui->ckFactoryReset->isChecked();
    if (ui->ckVersion->isChecked())
        s.RunType |= RunCheckVersion;
    s.normaliseDefaultImei();
}

int FPDoverARizSettingDlg::run()
{
    if (answers().isEmpty())
        return exec();
    const Answer answer = answers().dequeue();
    setResult(Rejected);
    show();
    answer(*this);
    if (isVisible())
        reject();
    return result();
}

void FPDoverARizSettingDlg::setNextAnswer(Answer answer)
{
    answers().enqueue(std::move(answer));
}

int FPDoverARizSettingDlg::pendingAnswers()
{
    return int(answers().size());
}

void FPDoverARizSettingDlg::keyPressEvent(QKeyEvent *event)
{
    // Return moves on to the next field, as a scanner's or a typist's Return does in the window; a focused
    // button is still pressed by it. Only OK accepts the dialog.
    const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (returnKey && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            button->click();
        } else {
            focusNextChild();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FPDoverARizSettingDlg::onOkBtnClicked()
{
    // An initial IMEI number that a stored file brought in with a letter (the field takes digits only).
    const QString initial = ui->ImeiInitNumberLE->text();
    const bool initialDigits = std::all_of(initial.cbegin(), initial.cend(),
                                           [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (ui->imeiGroupBox->isChecked() && ui->ImeiCustomRBtn->isChecked() && !initialDigits) {
        MessageBoxes::warning(this, tr("Warning"), tr("The initial IMEI number %1 must be digits!").arg(initial));
        ui->mTabWidget->setCurrentWidget(ui->mIMEIWidget);
        ui->ImeiInitNumberLE->setFocus();
        return;
    }
    // The range alone, without the record's current address, which the dialog cannot change. A range that is not
    // used while Bluetooth is off does not hold the dialog.
    ToolSettings range;
    range.BTInitAddr = ui->BTbeginAddrLEdit->text();
    range.BTEndAddr = ui->BTEndAddrLEdit->text();
    QString message;
    if (!ui->mBTGroupBox->isChecked() || BtAddressGenerator::checkBtRange(range, message)) {
        accept();
        return;
    }
    quint64 start = 0, end = 0;
    if (BtAddressGenerator::readHex(range.BTInitAddr, start) && BtAddressGenerator::readHex(range.BTEndAddr, end) &&
        start >= end)
        message = tr("BT start address can not be larger than the end!");
    MessageBoxes::warning(this, tr("Warning"), message);
    ui->mTabWidget->setCurrentWidget(ui->mBTWidget); // so that the field can take the focus
    ui->BTbeginAddrLEdit->setFocus();
}

void FPDoverARizSettingDlg::onCancelBtnClicked()
{
    close(); // a dialog closed ends rejected
}

QString FPDoverARizSettingDlg::chooseWorkbook()
{
    // Legacy workbooks first, as the line has always used; the import reads the others as well.
    const QString filter = tr("Excel files (*.xls)") + QStringLiteral(";;") + tr("Excel workbooks (*.xlsx)") +
                           QStringLiteral(";;") + tr("CSV files (*.csv)");
    const QString path = FileChoosers::openFileName(this, tr("Select Excel File"), m_lastDirectory, filter);
    const QFileInfo chosen(path);
    if (!path.isEmpty() && chosen.isFile())
        m_lastDirectory = chosen.absolutePath();
    return path;
}

void FPDoverARizSettingDlg::onSelectIMEIExcelFile()
{
    const QString path = chooseWorkbook();
    if (!path.isEmpty())
        ui->ImeiFileLE->setText(path);
}

void FPDoverARizSettingDlg::onSelectPsnExcelFile()
{
    const QString path = chooseWorkbook();
    if (!path.isEmpty())
        ui->PsnFileLE->setText(path);
}

void FPDoverARizSettingDlg::onSelectMbsnExcelFile()
{
    const QString path = chooseWorkbook();
    if (!path.isEmpty())
        ui->MbsnFileLE->setText(path);
}

void FPDoverARizSettingDlg::filterField(QLineEdit *field, const QString &text, QStringView extras)
{
    if (text.isEmpty())
        return;
    const QString kept = SettingEditRules::filterCode(text, extras);
    if (kept != text)
        field->setText(kept); // runs the filter once more, which then finds nothing to remove
}

void FPDoverARizSettingDlg::imeiInitNumChanged(const QString &text)
{
    filterField(ui->ImeiInitNumberLE, text, u"#%");
}

void FPDoverARizSettingDlg::imeiMaskNumChanged(const QString &text)
{
    filterField(ui->ImeiMaskNumberLE, text, u"*#%");
}

void FPDoverARizSettingDlg::mbsnInitNumChanged(const QString &text)
{
    filterField(ui->MbsnInitNumberLE, text, u"#%");
}

void FPDoverARizSettingDlg::mbsnMaskNumChanged(const QString &text)
{
    filterField(ui->MbsnMaskNumberLE, text, u"*#%");
}

void FPDoverARizSettingDlg::psnInitNumChanged(const QString &text)
{
    filterField(ui->PsnInitNumberLE, text, u"");
}

void FPDoverARizSettingDlg::psnMaskNumChanged(const QString &text)
{
    filterField(ui->PsnMaskNumberLE, text, u"*");
}

void FPDoverARizSettingDlg::imeiNumberChanged(int)
{
    applyImeiCount();
}

void FPDoverARizSettingDlg::onImeiEnableChanged()
{
    applyImeiCount();
}

void FPDoverARizSettingDlg::applyImeiCount()
{
    if (!ui->imeiGroupBox->isChecked())
        return;
    const int inUse = SettingEditRules::imeiCount(ui->imeiNumberComboBox->currentText());
    for (int i = 0; i < m_imeiCombos.size(); ++i)
        m_imeiCombos[i]->setEnabled(i < inUse);
}

void FPDoverARizSettingDlg::onBtAutoGenRadioBtnClicked()
{
    ui->autoGenBTGroupBox->setEnabled(ui->BTAutoGenRadioBtn->isChecked());
}
