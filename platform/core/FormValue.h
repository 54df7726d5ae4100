#pragma once

#include <QJsonValue>
#include <QMetaProperty>
#include <QVariant>

namespace quorvel {

// One published property's value and its form in a window description:
// enumerations by name (sets as arrays of names), numbers, texts, lists of
// texts, byte arrays in base64 or as {"Resource": ":/path"}, references by
// name. Used by the description's writer and reader.
namespace FormValue {

// The description's form of value, a value of property p.
QJsonValue ToJson(const QMetaProperty& p, const QVariant& value);
// Turns a JSON value into a value of p's type; false when it has the wrong kind.
bool FromJson(const QMetaProperty& p, const QJsonValue& v, QVariant& out);
// A whole number between low and high; false for anything else.
bool ToInteger(const QJsonValue& v, double low, double high, qint64& out);

} // namespace FormValue

} // namespace quorvel
