#pragma once
// The Organizer's dialogs answered from a script: each kind of call takes the
// next answer queued for it (cancel when none is queued) and every call is
// recorded, so that a test can assert what the user was asked.
#include "organizer/OrganizerDialogs.h"

#include <QFile>

#include <deque>
#include <optional>
#include <vector>

namespace zanto::test {

class OrganizerScriptedDialogs : public OrganizerDialogs {
public:
    // One call: its kind ("ask", "alert", "choosePackage", "openFiles",
    // "save", "menu", "reveal") and its texts in argument order.
    struct Call {
        QString kind;
        QStringList texts;
        bool operator==(const Call&) const = default;
    };

    std::deque<std::optional<QString>> asks;
    std::deque<int> alerts;
    std::deque<std::optional<QString>> packages;
    std::deque<QStringList> files;
    std::deque<std::optional<OrganizerSaveAnswer>> saves;
    std::deque<std::optional<int>> menus;
    std::vector<Call> calls;

    std::optional<QString> ask(const QString& message, const QString& value) override
    {
        calls.push_back({"ask", {message, value}});
        return next(asks, std::optional<QString>());
    }
    int alert(const QString& message, const QString& informative, const QStringList& buttons) override
    {
        calls.push_back({"alert", QStringList{message, informative} + buttons});
        return next(alerts, 0);
    }
    std::optional<std::filesystem::path> choosePackage(const QString& message) override
    {
        calls.push_back({"choosePackage", {message}});
        const std::optional<QString> chosen = next(packages, std::optional<QString>());
        if (!chosen) return std::nullopt;
        return QFile::encodeName(*chosen).toStdString();
    }
    QStringList openFiles(const QString& message, const QStringList& nameFilters, bool multiple) override
    {
        calls.push_back({"openFiles", QStringList{message, multiple ? "multiple" : "one"} + nameFilters});
        return next(files, QStringList());
    }
    std::optional<OrganizerSaveAnswer> save(const QString& defaultName, const QStringList& nameFilters,
                                            const QString& suffix, const QString& checkBox) override
    {
        calls.push_back({"save", QStringList{defaultName, suffix, checkBox} + nameFilters});
        return next(saves, std::optional<OrganizerSaveAnswer>());
    }
    std::optional<int> menu(const QStringList& titles) override
    {
        calls.push_back({"menu", titles});
        return next(menus, std::optional<int>());
    }
    void reveal(const QString& path) override { calls.push_back({"reveal", {path}}); }

private:
    template <typename T>
    static T next(std::deque<T>& queue, T cancelled)
    {
        if (queue.empty()) return cancelled;
        T answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }
};

} // namespace zanto::test
