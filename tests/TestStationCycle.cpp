// The station's cycle without a window: random runs of Write, Stop, port reports, start delays that end without
// a handset and confirmed setups, before a handset is finally written; also with those events coming while the
// allocation waits on the duplicate test (as the window's input does while the line's ledger answers).
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "device/StationCycle.h"
#include "device/StationFrontEnd.h"
#include "history/StationHistories.h"
#include "identity/IdentityAllocator.h"
#include "identity/LocalIssuedIdentities.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Keeps the fields and records the log; ends the cycle as the window's Stop does.
class RecordingStation final : public StationFrontEnd
{
public:
    void logLine(const QString &text, LineColour colour) override { lines.append({text, colour}); }
    void clearLog() override {}
    void criticalBox(const QString &text) override { lines.append({text, LineColour::Error}); }
    QString fieldText(IdentityField field) const override { return fields.value(field); }
    void setFieldText(IdentityField field, const QString &text) override { fields[field] = text; }
    void focusField(IdentityField, bool) override {}
    void setStatusState(int state) override { panel = state; }
    void endCycle() override { cycle->stop(); }
    QIODevice *adjustmentLog() const override { return nullptr; }
    void showStationState(int state) override { buttons = state; }
    void showPort(const QString &) override {}
    void setCountersEnabled(bool) override {}
    void countCycle(bool) override {}
    QString versionText() const override { return {}; }
    void setVersionText(const QString &) override {}
    void setVersionEditable(bool) override {}
    void focusVersion() override {}
    void clearOperatorFields() override {}
    void clearFields() override { fields.clear(); }
    void focusFirstField() override {}
    void setImeiMaxLength(int) override {}
    void showValues(const QStringList &, const QString &, const QString &, const QString &) override {}

    StationCycle *cycle = nullptr;
    QMap<IdentityField, QString> fields;
    QList<QPair<QString, LineColour>> lines;
    int panel = PanelStates::StateUnmount;
    int buttons = StationStates::StateNoPort;
};

// The station's history as the duplicate test, with the window's input let in while it answers.
class WaitingIssued final : public IssuedIdentities
{
public:
    explicit WaitingIssued(const IssuedIdentities &local) : m_local(local) {}
    bool isIssued(int kind, const QString &value) const override { return areIssued(kind, {value}).value(0); }
    QVector<bool> areIssued(int kind, const QStringList &values) const override
    {
        if (inputLetIn && during && !m_inWait) {
            m_inWait = true;
            during();
            m_inWait = false;
        }
        return m_local.areIssued(kind, values);
    }
    std::function<void()> during;
    bool inputLetIn = false;

private:
    const IssuedIdentities &m_local;
    mutable bool m_inWait = false;
};

// One station of automatic sources: IMEIs from custom pools or the default value, serial numbers from custom
// pools, Bluetooth from a range.
struct Station
{
    explicit Station(int imeiSource)
    {
        s.RunType = RunImei | RunMbsn | RunPsn | RunBt;
        s.ImeiNum = 2;
        s.imeiInputTypes = {imeiSource, imeiSource, imeiSource, imeiSource};
        s.ImeiDefaultValue = QStringLiteral("350000000000000");
        s.normaliseDefaultImei();
        s.ImeiInitNum14 = QStringLiteral("35000000000000");
        s.ImeiMaskNum14 = QStringLiteral("3500000000****");
        s.NextAdd = true;
        s.ImeiMaxNum = 100;
        s.MbsnInputType = InputCustom;
        s.MbsnInitNum = QStringLiteral("MB0000");
        s.MbsnMaskNum = QStringLiteral("00****");
        s.Mbsnlen = 6;
        s.PsnInputType = InputCustom;
        s.PsnInitNum = QStringLiteral("PS0000");
        s.PsnMaskNum = QStringLiteral("00****");
        s.Psnlen = 6;
        s.BTInputType = InputAutoGeneration;
        s.BTIsAutoAddr = true;
        s.BTInitAddr = QStringLiteral("0a1b2c3d4e30");
        s.BTEndAddr = QStringLiteral("0a1b2c3d4eff");
        s.BTCurrentAddr = QStringLiteral("0a1b2c3d4e30");
        s.StartDelay = 600000; // ended by hand
        allocator.setCounterSaver([] { return true; });
        worker.setSettings(&s);
        front.cycle = &cycle;
        cycle.setWorker(&worker);
        // Not connected to a worker's thread: the requested set is what the test looks at.
        QObject::connect(&cycle, &StationCycle::startWorker, &cycle, [this] { requested = cycle.pendingSet(); });
        cycle.setSourceWaits([this](StationCycle::SourceWaits waits) {
            issued.inputLetIn = waits == StationCycle::SourceWaits::Begin;
            givenUp = givenUp || waits == StationCycle::SourceWaits::GiveUp;
        });
    }

    ToolSettings s;
    StationHistories h;
    LocalIssuedIdentities local{h};
    WaitingIssued issued{local};
    bool givenUp = false;
    RecordingStation front;
    IdentityAllocator allocator{s, front, issued};
    FPDoverARizWorker worker;
    StationCycle cycle{s, allocator, front};
    std::optional<IdentityClaims::Set> requested;
};

bool sameSet(const IdentityClaims::Set &a, const IdentityClaims::Set &b)
{
    return a.imeis == b.imeis && a.mbsn == b.mbsn && a.psn == b.psn && a.bt == b.bt;
}

} // namespace

class TestStationCycle final : public QObject
{
    Q_OBJECT

private slots:
    void nothingBurntBeforeTheFirstWrite_data();
    void nothingBurntBeforeTheFirstWrite();
};

void TestStationCycle::nothingBurntBeforeTheFirstWrite_data()
{
    QTest::addColumn<int>("imeiSource");
    QTest::addColumn<bool>("inWaits"); // events also come while the duplicate test waits
    QTest::newRow("custom IMEI pool") << int(InputCustom) << false;
    QTest::newRow("default IMEI value") << int(InputDefaultValue) << false;
    QTest::newRow("custom IMEI pool, events in waits") << int(InputCustom) << true;
    QTest::newRow("default IMEI value, events in waits") << int(InputDefaultValue) << true;
}

// Whatever happens before a handset is written, the set armed is always the sources' first, the station is
// busy whenever a set is armed, and the handset finally gets that first set.
void TestStationCycle::nothingBurntBeforeTheFirstWrite()
{
    QFETCH(int, imeiSource);
    QFETCH(bool, inWaits);
    const QString usb1 = QStringLiteral("USB1"), usb2 = QStringLiteral("USB2");
    for (int run = 0; run < 60; ++run) {
        QRandomGenerator random(run);
        Station st(imeiSource);
        QVERIFY(st.allocator.prepareIdentityPools());
        st.cycle.portScanned({usb1});
        std::optional<IdentityClaims::Set> first;
        // One event of the window's in a wait: Write, Stop, a port report or Read (Setup is refused then).
        int stopsInWaits = 0;
        if (inWaits) {
            st.issued.during = [&] {
                switch (random.bounded(5)) {
                case 0:
                    st.cycle.write();
                    break;
                case 1:
                    st.cycle.stop();
                    ++stopsInWaits;
                    break;
                case 2:
                    st.cycle.portScanned({});
                    break;
                case 3:
                    st.cycle.portScanned({usb2});
                    break;
                default:
                    st.cycle.read();
                    break;
                }
            };
        }
        for (int step = 0; step < 12; ++step) {
            const int stopsBefore = stopsInWaits;
            const int event = random.bounded(7);
            switch (event) {
            case 0:
                st.cycle.write();
                break;
            case 1:
                st.cycle.stop();
                break;
            case 2: // the handset unplugged and plugged again
                st.cycle.portScanned({});
                st.cycle.portScanned({usb1});
                break;
            case 3: // the same handset reported again
                st.cycle.portScanned({st.s.portName.isEmpty() ? usb1 : st.s.portName});
                break;
            case 4: // another port
                st.cycle.portScanned({st.s.portName == usb1 ? usb2 : usb1});
                break;
            case 5: // the delay ends without a handset
                st.cycle.portScanned({});
                st.cycle.startDelayEnded();
                st.cycle.portScanned({usb1});
                break;
            case 6: // Setup confirmed
                if (st.cycle.state() != StationCycle::StateBusy)
                    QVERIFY(st.allocator.prepareIdentityPools());
                break;
            }
            QVERIFY(!st.requested);
            // A Stop in a wait gave the waits up and stopped the cycle once the allocation returned.
            if (stopsInWaits > stopsBefore) {
                QVERIFY(st.givenUp);
                QVERIFY(!st.cycle.pendingSet());
                QVERIFY(st.cycle.state() != StationCycle::StateBusy);
            }
            if (const auto &armed = st.cycle.pendingSet()) {
                QCOMPARE(st.cycle.state(), int(StationCycle::StateBusy));
                QCOMPARE(st.front.buttons, int(StationCycle::StateBusy));
                QVERIFY(st.front.panel != PanelStates::StateIdle);
                if (!first)
                    first = *armed;
                QVERIFY2(sameSet(*armed, *first),
                         qPrintable(QStringLiteral("run %1 step %2: %3 after %4")
                                        .arg(run)
                                        .arg(step)
                                        .arg(armed->imeis.join(u','), first->imeis.join(u','))));
            }
        }
        st.issued.during = nullptr;
        if (st.s.portName.isEmpty())
            st.cycle.portScanned({usb1});
        if (st.cycle.state() != StationCycle::StateBusy)
            st.cycle.write();
        else if (!st.cycle.pendingSet())
            st.cycle.portScanned({usb1});
        QVERIFY(st.cycle.pendingSet());
        st.cycle.startDelayEnded();
        QVERIFY(st.requested);
        QCOMPARE(st.requested->bt, QStringLiteral("0a1b2c3d4e30"));
        QCOMPARE(st.requested->imeis.value(0).left(14), QStringLiteral("35000000000000"));
        if (first)
            QVERIFY(sameSet(*st.requested, *first));
        for (const auto &line : std::as_const(st.front.lines))
            QVERIFY2(line.second != LineColour::Error && !line.first.contains(QLatin1String("not handed out")),
                     qPrintable(line.first));
    }
}

QTEST_GUILESS_MAIN(TestStationCycle)
#include "TestStationCycle.moc"
