// Options, "Alerts...": a rule made in the dialog is saved as the fields
// show it, and one that cannot work keeps the dialog open with the reason.
#include "TestSupport.h"
#include "alerts/AlertEngine.h"
#include "ui/AlertRuleDialog.h"
#include "ui/AlertsDialog.h"
#include "ui/MainMenu.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

class TestAlertsDialog : public QObject
{
    Q_OBJECT
private slots:
    void ruleIsSavedAsShownOrRefused()
    {
        QTemporaryDir dir;
        AlertEngine engine(dir.filePath(QStringLiteral("Orvendal.db")), nullptr);
        AlertRuleDialog dialog(AlertRule{}, engine.store());
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("edtName"));
        auto *match = dialog.findChild<QLineEdit *>(QStringLiteral("edtMatch"));
        auto *kind = dialog.findChild<QComboBox *>(QStringLiteral("cboMatch"));
        auto *run = dialog.findChild<QCheckBox *>(QStringLiteral("chkRun"));
        auto *program = dialog.findChild<QLineEdit *>(QStringLiteral("edtProgram"));
        auto *arguments = dialog.findChild<QPlainTextEdit *>(QStringLiteral("txtArguments"));
        QVERIFY(name && match && kind && run && program && arguments);

        name->setText(QStringLiteral("Ops"));
        kind->setCurrentIndex(kind->findText(QStringLiteral("Channels")));
        match->setText(QStringLiteral("5, 1200"));
        QVERIFY(!dialog.save());
        QVERIFY2(dialog.problemText().contains(QLatin1String("1 to 1000")), qPrintable(dialog.problemText()));
        match->setText(QStringLiteral("5, 100-120"));
        run->setChecked(true);
        program->setText(dir.filePath(QStringLiteral("no-such-program")));
        QVERIFY(!dialog.save());
        QVERIFY2(dialog.problemText().contains(QLatin1String("does not exist")), qPrintable(dialog.problemText()));

        // One argument a line, as written; an empty line inside is an empty
        // argument, the last newline is none.
        program->setText(QStringLiteral("true"));
        arguments->setPlainText(QStringLiteral("  two  spaces \n\n\"{name}\"\n"));
        QVERIFY2(dialog.save(), qPrintable(dialog.problemText()));
        QVERIFY(dialog.problemText().isEmpty());
        engine.reload();
        QCOMPARE(engine.rules().size(), 1);
        const AlertRule saved = engine.rules().first();
        QCOMPARE(saved.match, AlertRule::Match::Channels);
        QCOMPARE(saved.arguments, (QStringList{QStringLiteral("  two  spaces "), QString(), QStringLiteral("\"{name}\"")}));

        // The list shows it, and Delete asks first.
        AlertsDialog list(&engine);
        QCOMPARE(list.table()->rowCount(), 1);
        QCOMPARE(list.table()->item(0, 0)->text(), QStringLiteral("Ops"));
        list.table()->selectRow(0);
        QStringList asked;
        bool agree = false;
        list.setMessage([&](MessageKind, const QString &, const QString &text) {
            asked << text;
            return agree;
        });
        QVERIFY(!list.deleteRule());
        QCOMPARE(list.table()->rowCount(), 1);
        agree = true;
        QVERIFY(list.deleteRule());
        QCOMPARE(asked.last(), QStringLiteral("Delete the alert rule \"Ops\"?"));
        QCOMPARE(list.table()->rowCount(), 0);
        QVERIFY(engine.rules().isEmpty());

        const auto &entries = MainMenu::entries();
        QVERIFY(std::any_of(entries.begin(), entries.end(), [](const MainMenu::Entry &e) {
            return qstrcmp(e.menu, "mnuOptions") == 0 && qstrcmp(e.name, "mnuAlerts") == 0
                   && qstrcmp(e.caption, "Alerts...") == 0;
        }));
    }
};

QTEST_MAIN(TestAlertsDialog)
#include "tst_alertsdialog.moc"
