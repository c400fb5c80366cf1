// Themes and screen scaling: every text on the faceplate stays readable in
// the light and the dark theme, and fits its field at the scale the test
// runs at (CTest runs it at 100, 150 and 200 %).
#include "WindowRig.h"
#include "ui/AuxDisplayWindow.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

namespace {

// Text and its background as the screen shows them: the widget is grabbed
// with and without its text, the pixels that differ are the text, and the
// strongest of them is compared with what was under it.
template <typename W>
double measuredContrast(W *widget)
{
    const QString text = widget->text();
    const QImage with = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    widget->setText(QString());
    const QImage without = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    widget->setText(text);
    double best = 1.0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                best = qMax(best, Theme::contrast(QColor(with.pixel(x, y)), QColor(without.pixel(x, y))));
        }
    }
    return best;
}

// Where the text of a field, caption or key must fit, in logical pixels.
QRect room(QWidget *w)
{
    QRect r = w->contentsRect();
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        const int frame = edit->hasFrame() ? w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
        const QMargins m = edit->textMargins();
        // The line edit keeps 2 px each side, less what its margins give back.
        r.adjust(frame + 2 + m.left(), frame + m.top(), -frame - 2 - m.right(), -frame - m.bottom());
    } else if (qobject_cast<QPushButton *>(w)) {
        r.adjust(2, 2, -2, -2);
    }
    return r;
}

QString textOf(QWidget *w)
{
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return button->text();
    return {};
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT
private slots:
    void readableInEveryTheme();
    void themeChosenFromTheViewMenu();
    void textFitsAtThisScale();
};

void TestAppearance::readableInEveryTheme()
{
    Theme theme;
    for (Theme::Choice choice : {Theme::Choice::Light, Theme::Choice::Dark}) {
        theme.apply(choice);
        const QPalette p = QApplication::palette();
        for (auto [fg, bg] : {std::pair{QPalette::WindowText, QPalette::Window}, {QPalette::Text, QPalette::Base},
                              {QPalette::ButtonText, QPalette::Button}, {QPalette::HighlightedText, QPalette::Highlight},
                              {QPalette::ToolTipText, QPalette::ToolTipBase}})
            QVERIFY2(Theme::contrast(p.color(fg), p.color(bg)) >= 4.5, qPrintable(Theme::name(choice)));

        WindowRig rig;
        FacePlateWindow::Wiring wiring = windowWiring(rig.parts, &rig.port, rig.store.store.get(), rig.databasePath());
        wiring.theme = &theme;
        FacePlateWindow window(wiring);
        rig.display().showAllSegments();
        rig.display().setStatusLine(QStringLiteral("OPENED"));
        rig.aux().setLine(1, QStringLiteral("123.4567"));
        window.show();
        window.auxWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(50); // the display is drawn once the turn is over
        if (qEnvironmentVariableIsSet("ORVENDAL_SCREENSHOTS")) // to look at them
            window.grab().save(qEnvironmentVariable("ORVENDAL_SCREENSHOTS") + QLatin1Char('/') + Theme::name(choice) + ".png");

        QList<QWidget *> texts = window.findChildren<QWidget *>();
        texts += window.auxWindow()->findChildren<QWidget *>();
        int measured = 0;
        for (QWidget *w : texts) {
            const QString text = textOf(w).trimmed();
            if (text.isEmpty() || !w->isVisible() || w->objectName() == QLatin1String("Text2"))
                continue;
            double ratio = 0;
            if (auto *edit = qobject_cast<QLineEdit *>(w))
                ratio = measuredContrast(edit);
            else if (auto *label = qobject_cast<QLabel *>(w))
                ratio = measuredContrast(label);
            else if (auto *button = qobject_cast<QPushButton *>(w))
                ratio = measuredContrast(button);
            else
                continue;
            ++measured;
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 in %2: %3:1").arg(w->objectName(), Theme::name(choice)).arg(ratio)));
        }
        QVERIFY(measured > 40);
    }
}

void TestAppearance::themeChosenFromTheViewMenu()
{
    Theme theme;
    theme.apply(Theme::Choice::Light);
    WindowRig rig;
    FacePlateWindow::Wiring wiring = windowWiring(rig.parts, &rig.port, rig.store.store.get(), rig.databasePath());
    wiring.theme = &theme;
    FacePlateWindow window(wiring);
    auto *dark = window.menu(QStringLiteral("mnuView"))->findChild<QAction *>(QStringLiteral("mnuThemeDark"));
    QVERIFY(dark);
    dark->trigger();
    QVERIFY(theme.isDark());
    QCOMPARE(QApplication::palette().color(QPalette::Window), Theme::darkPalette().color(QPalette::Window));
    QCOMPARE(Theme::load(*rig.store.store), Theme::Choice::Dark);
    // The panel follows: dark with light print.
    QWidget *panel = window.centralWidget();
    QVERIFY(Theme::contrast(panel->palette().color(QPalette::WindowText), panel->palette().color(QPalette::Window)) >= 4.5);
    QVERIFY(panel->palette().color(QPalette::Window).lightness() < 128);
}

void TestAppearance::textFitsAtThisScale()
{
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    WindowRig rig;
    rig.display().showAllSegments();
    rig.display().setStatusLine(QStringLiteral("NO REPLY FROM SCANNER - retrying"));
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    QTest::qWait(50);

    // Drawn at the screen's own resolution, not enlarged afterwards.
    const QPixmap shot = rig.window.grab();
    QCOMPARE(shot.devicePixelRatio(), scale);
    QCOMPARE(shot.size(), (QSizeF(rig.window.size()) * scale).toSize());

    int checked = 0;
    for (QWidget *w : rig.window.centralWidget()->findChildren<QWidget *>()) {
        const QString text = textOf(w);
        if (text.trimmed().isEmpty() || w->objectName() == QLatin1String("Text2"))
            continue;
        const QRect r = room(w);
        // A line is cut when its ink is; the lines of a key's caption take their full spacing.
        const QFontMetrics fm = w->fontMetrics();
        QRect needed = fm.boundingRect(QRect(QPoint(), QSize(r.width(), 10000)), Qt::AlignCenter | Qt::TextShowMnemonic, text);
        if (!text.contains(QLatin1Char('\n')))
            needed.setHeight(fm.tightBoundingRect(text).height());
        QVERIFY2(needed.width() <= r.width() && needed.height() <= r.height(),
                 qPrintable(QStringLiteral("%1 \"%2\" needs %3x%4 in %5x%6")
                                .arg(w->objectName(), text).arg(needed.width()).arg(needed.height()).arg(r.width()).arg(r.height())));
        ++checked;
    }
    QVERIFY(checked > 40);
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
