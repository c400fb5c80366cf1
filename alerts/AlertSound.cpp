#include "alerts/AlertSound.h"

#include "alerts/AlertRule.h"

#include <QSoundEffect>
#include <QUrl>

const QString AlertSound::kBundled = QStringLiteral("qrc:/alerts/chime.wav");

// A static library's resources are registered by hand.
static void initAlertResources()
{
    Q_INIT_RESOURCE(alerts);
}

AlertSound::AlertSound(QObject *parent)
    : QObject(parent)
{
    initAlertResources();
}

AlertSound::~AlertSound() = default;

void AlertSound::play(const QString &file)
{
    const QString source = file.isEmpty() ? kBundled : QUrl::fromLocalFile(file).toString();
    QSoundEffect *effect = m_effects.value(source);
    if (!effect) {
        effect = new QSoundEffect(this);
        connect(effect, &QSoundEffect::statusChanged, this, [this, effect, source] {
            if (effect->status() == QSoundEffect::Error && !m_reported.contains(source)) {
                m_reported.insert(source);
                qCWarning(lcAlerts).noquote() << "the alert sound" << source << "cannot be played";
            }
        });
        effect->setSource(QUrl(source));
        m_effects.insert(source, effect);
    }
    // A sound still loading plays once it is loaded.
    if (effect->status() != QSoundEffect::Error)
        effect->play();
}
