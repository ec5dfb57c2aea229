#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class FPDoverARizSettingDlg;
}

class QComboBox;
class QLineEdit;
class ToolSettings;

// The modal "Setup" dialog: connection type, station check, extra device steps and, per identity, whether it
// is written and where it comes from. One instance serves one opening: filled by loadFrom, run, and read back
// by storeTo when it was accepted. It changes only the record it is given, never the settings file.
class FPDoverARizSettingDlg final : public QDialog
{
    Q_OBJECT

public:
    // Answers a run in place of the operator: it gets the dialog shown and may change its controls and press
    // its buttons. A run it leaves open ends rejected, as if the window's close button had been pressed.
    using Answer = std::function<void(FPDoverARizSettingDlg &)>;

    explicit FPDoverARizSettingDlg(QWidget *parent = nullptr);
    ~FPDoverARizSettingDlg() override;

    // Fills the controls. Fits MbsnInitNum and MbsnMaskNum to Mbsnlen in the record itself, for good.
    void loadFrom(ToolSettings &settings);
    // Writes the controls into the record.
    void storeTo(ToolSettings &settings);

    // Runs the dialog modally, or through the next queued answer; QDialog::Accepted or Rejected.
    int run();
    static void setNextAnswer(Answer answer);
    static int pendingAnswers();

    QString lastDirectory() const { return m_lastDirectory; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void onOkBtnClicked();
    void onCancelBtnClicked();
    void onSelectIMEIExcelFile();
    void onSelectPsnExcelFile();
    void onSelectMbsnExcelFile();
    void imeiInitNumChanged(const QString &text);
    void imeiMaskNumChanged(const QString &text);
    void mbsnInitNumChanged(const QString &text);
    void mbsnMaskNumChanged(const QString &text);
    void psnInitNumChanged(const QString &text);
    void psnMaskNumChanged(const QString &text);
    void imeiNumberChanged(int);
    void onBtAutoGenRadioBtnClicked();
    void onImeiEnableChanged();

private:
    void installRestrictions();
    void fillStations(const QString &currentStation, const QString &checkStation);
    void applyImeiCount();
    // Opens the workbook chooser; the path chosen, empty when cancelled.
    QString chooseWorkbook();
    static void filterField(QLineEdit *field, const QString &text, QStringView extras);

    std::unique_ptr<Ui::FPDoverARizSettingDlg> ui;
    QString m_lastDirectory;
    QList<QComboBox *> m_imeiCombos; // imei1ComboBox to imei4ComboBox
};
