#pragma once
#include "organizer/OrganizerDialogs.h"

#include <QPointer>
#include <QWidget>

namespace zanto {

// The dialogs of the running application, modal over `parent`.
class OrganizerWidgetDialogs : public OrganizerDialogs {
public:
    explicit OrganizerWidgetDialogs(QWidget* parent) : parent_(parent) { }

    std::optional<QString> ask(const QString& message, const QString& value) override;
    int alert(const QString& message, const QString& informative, const QStringList& buttons) override;
    std::optional<std::filesystem::path> choosePackage(const QString& message) override;
    QStringList openFiles(const QString& message, const QStringList& nameFilters, bool multiple) override;
    std::optional<OrganizerSaveAnswer> save(const QString& defaultName, const QStringList& nameFilters,
                                            const QString& suffix, const QString& checkBox) override;
    std::optional<int> menu(const QStringList& titles) override;
    void reveal(const QString& path) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace zanto
