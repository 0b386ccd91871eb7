#include "ui/undo_last_copy.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>

#include "clientfiles/file_exception.h"
#include "clientfiles/journal_store.h"
#include "ui/message_box.h"

namespace kestrel {

namespace {

QString Text(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString FilesOf(const HistoryEntry& entry) {
    QStringList paths;
    for (const HistoryEntry::File& file : entry.files) {
        paths << Text(file.path);
    }
    return paths.join(QStringLiteral(", "));
}

bool Confirm(QWidget& owner, const HistoryEntry& entry) {
    QMessageBox box(QMessageBox::Question, ApplicationTitle(),
                    QStringLiteral("Undo the last copy into %1?\n\n%2\n\nThe file gets back the "
                                   "bytes it held before the copy.")
                        .arg(FilesOf(entry), Text(entry.description.summary)),
                    QMessageBox::Yes | QMessageBox::No, &owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace

void AddUndoLastCopy(QMenu& menu, QWidget& owner) {
    QAction* undo = menu.addAction(QStringLiteral("&Undo Last Copy"));
    QObject::connect(undo, &QAction::triggered, &owner, [&owner] { UndoLastCopy(owner); });
    menu.addSeparator();
}

void UndoLastCopy(QWidget& owner, const std::string& journalDirectory) {
    try {
        const JournalStore store(journalDirectory.empty() ? JournalStore::DefaultDirectory()
                                                          : std::filesystem::path(journalDirectory));
        const std::vector<HistoryEntry> history = store.ListHistory();
        if (history.empty()) {
            ShowMessageBox(QStringLiteral("There is no copy to undo."), QMessageBox::Information,
                           &owner);
            return;
        }
        const HistoryEntry& newest = history.front();
        if (!Confirm(owner, newest)) {
            return;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        UndoOutcome outcome;
        try {
            outcome = store.UndoNewest(newest.files.front().path);
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
        switch (outcome.result) {
            case UndoOutcome::Result::Undone:
                ShowMessageBox(QStringLiteral("The copy into %1 was undone.")
                                   .arg(FilesOf(*outcome.entry)),
                               QMessageBox::Information, &owner);
                break;
            case UndoOutcome::Result::NothingToUndo:
                ShowMessageBox(QStringLiteral("There is no copy to undo."),
                               QMessageBox::Information, &owner);
                break;
            case UndoOutcome::Result::Refused:
                ShowMessageBox(QStringLiteral("The copy into %1 cannot be undone: %2")
                                   .arg(FilesOf(outcome.entry ? *outcome.entry : newest),
                                        Text(outcome.reason)),
                               QMessageBox::Warning, &owner);
                break;
        }
    } catch (const JournalError& failure) {
        ShowMessageBox(Text(failure.what()), QMessageBox::Warning, &owner);
    } catch (const FileException& failure) {
        ShowMessageBox(Text(failure.what()), QMessageBox::Warning, &owner);
    }
}

}  // namespace kestrel
