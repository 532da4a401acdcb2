#pragma once

#include <QString>

class QWidget;

namespace pantrio {

enum class MessageIcon { None, Information, Exclamation, Critical };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

// Every message the program shows goes through here, so tests can read and answer them.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // With OkCancel, OK is the default button; closing the box answers Cancel.
    virtual MessageAnswer show(const QString& text, const QString& title, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

class QtMessageBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(const QString& text, const QString& title, MessageIcon icon,
                       MessageButtons buttons) override;
};

} // namespace pantrio
