#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A settings store in a temporary file, so tests never touch the user's own.
struct TempSettings
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> store;

    TempSettings()
        : store(std::make_unique<QSettings>(dir.filePath(QStringLiteral("OVKS4410.conf")), QSettings::IniFormat))
    {
    }
    QSettings *operator->() { return store.get(); }
    QSettings &operator*() { return *store; }
};

// A prompt function that gives the listed answers in turn and records every
// prompt it was asked. kCancel in the list, or running out of answers,
// cancels the box.
struct ScriptedPrompt
{
    static inline const QString kCancel = QStringLiteral("<cancel>");

    ScriptedPrompt() = default;
    explicit ScriptedPrompt(QStringList list)
        : answers(std::move(list))
    {
    }

    QStringList answers;
    QStringList asked; // prompt texts
    QStringList titles;
    QStringList defaults;

    auto fn()
    {
        return [this](const QString &prompt, const QString &title, const QString &def) -> std::optional<QString> {
            asked << prompt;
            titles << title;
            defaults << def;
            if (answers.isEmpty())
                return std::nullopt;
            const QString answer = answers.takeFirst();
            if (answer == kCancel)
                return std::nullopt;
            return answer;
        };
    }
};
