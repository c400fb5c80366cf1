#pragma once

#include <QWidget>

#include <array>

class AuxDisplayModel;
class QLineEdit;

// frmAuxDisplay: renders the auxiliary display's lines. Closing the window
// discards what it showed; it comes back with its first texts.
class AuxDisplayWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;

    explicit AuxDisplayWindow(AuxDisplayModel *model, QWidget *parent = nullptr);

    QLineEdit *line(int n) const { return m_lines.at(n - 1); }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void renderLines();

    AuxDisplayModel *m_model;
    std::array<QLineEdit *, 8> m_lines{};
    bool m_renderPending = false;
};
