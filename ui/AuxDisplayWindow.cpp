#include "ui/AuxDisplayWindow.h"

#include "scanner/AuxDisplayModel.h"
#include "ui/LcdFont.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

const QString AuxDisplayWindow::kCaption = QStringLiteral("VKS-4410 Auxilary Display - www.valkes.example");

AuxDisplayWindow::AuxDisplayWindow(AuxDisplayModel *model, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_model(model)
{
    setObjectName(QStringLiteral("frmAuxDisplay"));
    setWindowTitle(kCaption);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(2);

    auto makeLine = [this, layout](const QString &name, const QString &text) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setAccessibleName(name);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::ClickFocus);
        layout->addWidget(edit);
        return edit;
    };
    QLineEdit *heading = makeLine(QStringLiteral("Text1"), QStringLiteral("Extended Frequency & Talkgroup Data"));
    heading->setAlignment(Qt::AlignCenter);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    const QFont lcd = LcdFont::font(12);
    QFont arial(QStringLiteral("Arial"));
    arial.setStyleHint(QFont::SansSerif);
    arial.setPointSizeF(9.75);
    for (int i = 1; i <= AuxDisplayModel::kLines; ++i) {
        QLineEdit *edit = makeLine(QStringLiteral("Text2_%1").arg(i), m_model->line(i));
        edit->setFont(i <= 4 ? lcd : arial);
        if (i <= 4) {
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Base, QColor(255, 128, 0));
            pal.setColor(QPalette::Text, Qt::black);
            edit->setPalette(pal);
        }
        m_lines[i - 1] = edit;
    }
    resize(560, sizeHint().height());

    // Lines are drawn once the poll turn that changed them is over.
    connect(m_model, &AuxDisplayModel::lineChanged, this, [this] {
        if (!m_renderPending && !m_model->isUpdating()) {
            m_renderPending = true;
            QTimer::singleShot(0, this, &AuxDisplayWindow::renderLines);
        }
    });
    connect(m_model, &AuxDisplayModel::updated, this, &AuxDisplayWindow::renderLines);
    connect(m_model, &AuxDisplayModel::visibilityRequested, this, [this](bool visible) {
        if (visible != isVisible())
            setVisible(visible);
    });
}

void AuxDisplayWindow::renderLines()
{
    m_renderPending = false;
    for (int i = 1; i <= AuxDisplayModel::kLines; ++i) {
        if (m_lines[i - 1]->text() != m_model->line(i))
            m_lines[i - 1]->setText(m_model->line(i));
    }
}

void AuxDisplayWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->setVisible(true);
}

void AuxDisplayWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!isVisible())
        m_model->setVisible(false);
}

void AuxDisplayWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    m_model->setVisible(false);
    m_model->reset();
}
