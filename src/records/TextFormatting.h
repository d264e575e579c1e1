#pragma once

#include <QFont>
#include <QStringList>
#include <QTextCharFormat>

class QTextCursor;
class QTextDocument;

// The character formatting commands of the body editors, on a document and its cursor.
//
// A body keeps, for every character, the attributes RtfWriter stores: face, size, bold, italic, underline,
// strike-out and colour. The commands read and change exactly these and leave every other property of a
// character alone, so a picture stays a picture whatever its surroundings are given.
namespace TextFormatting {

// Which stored attributes a change replaces.
enum class Scope {
    All,  // every one: bold, italic, underline, colour and the font dialog give the whole format
    Face, // the face alone (the face list of the bar)
    Size, // the size alone (the size list of the bar)
};

enum class Effect { Bold, Italic, Underline };

// Every stored attribute of the format, made explicit: the face and size of the document's default font where
// the format names none, bold as either bold or normal, and no colour where the text takes the automatic one.
QTextCharFormat storedAttributes(const QTextCharFormat& format, const QTextDocument& document);

// The stored attributes of the character a command starts from: the first character of the selection; else the
// character before the caret; at the start of a paragraph, its first character (the one text typed there
// follows). An empty paragraph gives the format text typed into it takes. The pending format of the caret (set by
// a command with nothing to act on) counts as the character before it.
QTextCharFormat referenceFormat(const QTextCursor& cursor);

// The characters a command changes: the selection; else the word the caret stands inside. Empty when the caret
// stands outside a word or at either end of one: the command then sets the format of what is typed next.
QTextCursor target(const QTextCursor& cursor);

// Gives the target of the cursor the attributes of `attributes` that `scope` names, as one step of undo; with an
// empty target, the cursor's pending format takes them.
void apply(QTextCursor& cursor, const QTextCharFormat& attributes, Scope scope);

bool hasEffect(const QTextCharFormat& format, Effect effect);
void setEffect(QTextCharFormat& format, Effect effect, bool on);

// A face for a character: the chosen face, then the faces of the document's default font, so text the face
// lacks falls back as it does after the body is read back.
QStringList faceWithFallbacks(const QString& face, const QTextDocument& document);
// The face a format names first; empty when it names none.
QString faceOf(const QTextCharFormat& format);

// The font the font dialog starts from, built from the reference character's attributes. The dialog offers
// whole points, so a size such as 10.5 is offered as 10 or 11, and the faces of this machine: a face it lacks is
// offered as the face the text is drawn in.
QFont dialogFont(const QTextCharFormat& reference);
// The attributes to apply when the dialog, which showed `shown` on opening, was closed with `chosen`: its face,
// size and effects, and the reference's colour (the dialog chooses none). A face, size or effect left as the
// dialog showed it gives back the reference's own, so a dialog closed unchanged changes nothing.
QTextCharFormat fromDialog(const QFont& chosen, const QFont& shown, const QTextCharFormat& reference,
                           const QTextDocument& document);

} // namespace TextFormatting
