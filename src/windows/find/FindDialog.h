#pragma once

#include "app/SearchScope.h"

#include <QDialog>

class QLineEdit;

namespace pantrio {

class SettingsStore;
struct SettingsKey;

// Asks for the text to look for and keeps it as the saved search text, from where Find Next
// reads it again. Its buttons only hide it; the caller then collects the text with GetString
// and unloads the dialog, so it always opens with an empty box.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FindDialog(SettingsStore& settings, FindScope scope = FindScope::NameOrCategory,
                        QWidget* parent = nullptr);

    FindScope scope() const { return scope_; }

    // The typed text, stored as the scope's saved search text. The caller unloads the dialog
    // afterwards.
    QString GetString();
    // The scope's saved search text, through the hidden box that holds it; empty when there is none.
    QString savedSearchText();

    static QString savedText(const SettingsStore& settings, FindScope scope = FindScope::NameOrCategory);
    // Forgets both saved search texts.
    static void forgetSavedText(SettingsStore& settings);

public slots:
    // Esc, Cancel and the window manager's close all come here: the text is dropped.
    void reject() override;

private:
    static const SettingsKey& savedTextKey(FindScope scope);

    SettingsStore& settings_;
    FindScope scope_;
    QLineEdit* searchBox_;
    QLineEdit* savedTextBox_;
};

} // namespace pantrio
