#pragma once

#include "TFormDescription.h"

#include <QMetaProperty>
#include <QString>

#include <vector>

class QObject;

namespace quorvel {

class TCollection;

// What the window description's writer and reader share: the names of the
// bookkeeping properties a load leaves on its objects, the class registry and
// which properties are published.
namespace FormStreaming {

// Handlers bound by a load, as a map from event to handler name.
inline constexpr const char* kBoundEvents = "_quorvelEvents";
// A font colour given as a TColor (a system colour stays a code).
inline constexpr const char* kFontColor = "_quorvelFontColor";
inline constexpr const char* kTabOrder = "_quorvelTabOrder";

// A class's name as descriptions write it: without the library's namespace,
// so stored descriptions read the same whichever namespace the class is in.
const char* ClassName(const QMetaObject* meta);

void RegisterFactory(const QString& className, TComponentFactory factory);
bool IsRegistered(const QString& className);
// The factory of a registered class; empty when there is none.
TComponentFactory FactoryOf(const QString& className);

// Published properties in declaration order, base classes first: the stored
// Q_PROPERTYs of our own classes (names beginning with "T").
std::vector<QMetaProperty> PublishedProperties(const QObject& object);
// The collection a property holds, or nullptr when it holds none.
TCollection* CollectionOf(const QMetaProperty& p, const QObject& object);
// A component's name is its entry's "Name"; items keep theirs among their
// properties.
bool IsComponentName(const QMetaProperty& p);
// A control class may publish a control property itself; then its own
// property is what the description carries.
bool OwnProperty(const QObject& object, const char* name);

} // namespace FormStreaming

} // namespace quorvel
