#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class QSoundEffect;

// Plays alert sounds: the bundled one or the user's WAV files, each loaded
// once and kept. A sound that cannot be played is said once in the log.
class AlertSound : public QObject
{
    Q_OBJECT
public:
    static const QString kBundled; // the bundled sound's URL

    explicit AlertSound(QObject *parent = nullptr);
    ~AlertSound() override;

    // file: a WAV file, or empty for the bundled sound.
    void play(const QString &file);

private:
    QHash<QString, QSoundEffect *> m_effects;
    QSet<QString> m_reported;
};
