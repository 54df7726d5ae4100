#pragma once

#include "QuorvelExport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;

namespace quorvel {

// What a load left out, one line per entry, e.g.
// "Form1.Panel1.Image2.Stretchy: unknown property".
struct QUORVEL_EXPORT TFormReport {
    QStringList Skipped;
    bool Clean() const { return Skipped.isEmpty(); }
};

// Binds the handler named `handler` to `event` of `component`; false when the
// owner has no handler of that name that fits the event.
using TEventBinder = std::function<bool(QObject* component, const QString& event, const QString& handler)>;
// Creates a component of a registered class; parent is the owning window or,
// for a control, the control that contains it.
using TComponentFactory = std::function<QObject*(QObject* parent)>;

// The text description of a window and its components, JSON through
// QJsonDocument:
//
//   {"Class": "TForm1", "Name": "Form1",
//    "Properties": {"Caption": "...", "Items": [{...}, ...], ...},
//    "Events": {"OnCreate": "FormCreate"},
//    "Components": [{"Class": ..., "Name": ..., ...}, ...]}
//
// Published properties are the Q_PROPERTYs declared by this system's own
// classes (class names beginning with "T"); Qt's own properties are not
// published. A property is written unless it equals its stored default
// (Q_CLASSINFO("default:<Name>", ...)); one without a default is always
// written. Enumerations are written by name (sets as arrays of names),
// colours as TColor numbers, byte arrays in base64 (a byte array may also be
// given as {"Resource": ":/path"} naming a program resource), collections as
// arrays of their items' properties, references to other components by
// name (null for none; resolved once the whole window is read). Controls (widgets inside a window) also
// carry Left, Top, Width, Height, Visible, Enabled, TabOrder and Font
// ({"Name", "Height" in pixels, "Style": ["fsBold", ...], "Color"}).
//
// Reading applies properties in declaration order, whatever the order of the
// text, so that a value that resets others (a colour scheme) comes after
// them; a control's position and size come last, and then an invokable
// Loaded() of the object runs when it has one. Missing properties keep their current values; unknown
// properties, values of the wrong kind, unknown classes and handlers are skipped and listed in the report,
// and the rest is read.
class QUORVEL_EXPORT TFormDescription {
public:
    static void RegisterClass(const QString& className, TComponentFactory factory);
    static bool IsRegistered(const QString& className);
    // The class name a description uses for the object: its
    // Q_CLASSINFO("StreamedClass") when it has one, else its class name.
    static QString StreamedClassName(const QObject& object);

    static QJsonObject WriteComponent(const QObject& object);
    static QByteArray WriteForm(const QObject& root);

    static void ReadComponent(const QJsonObject& description, QObject& object, const TEventBinder& binder,
                              TFormReport& report);
    // False, with nothing read, when the text is not a description at all.
    static bool ReadForm(const QByteArray& text, QObject& root, const TEventBinder& binder,
                         TFormReport& report);

    // Records the handler bound to an event so that writing gives it back.
    static void NoteBoundHandler(QObject& component, const QString& event, const QString& handler);
    // The handler bound to an event by a load (or noted), empty when none.
    static QString BoundHandler(const QObject& component, const QString& event);
};

} // namespace quorvel
