#include "FormValue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QStringList>

#include <cmath>
#include <limits>

namespace quorvel {

namespace {

QJsonValue EnumToJson(const QMetaEnum& e, int value) {
    if (e.isFlag()) {
        QJsonArray names;
        for (int i = 0; i < e.keyCount(); ++i)
            if (e.value(i) != 0 && (value & e.value(i)) == e.value(i))
                names.append(QString::fromLatin1(e.key(i)));
        return names;
    }
    const char* key = e.valueToKey(value);
    return key ? QJsonValue(QString::fromLatin1(key)) : QJsonValue(value);
}

// Enumerations and sets are stored in 1, 2 or 4 bytes; their value is read
// and written through those bytes so that every size works alike.
int EnumValueOf(const QVariant& value) {
    switch (value.metaType().sizeOf()) {
    case 1:
        return *static_cast<const quint8*>(value.constData());
    case 2:
        return *static_cast<const quint16*>(value.constData());
    case 4:
        return *static_cast<const qint32*>(value.constData());
    default:
        return value.toInt();
    }
}

QVariant EnumVariant(QMetaType type, int value) {
    const quint8 b = static_cast<quint8>(value);
    const quint16 w = static_cast<quint16>(value);
    const qint32 d = value;
    switch (type.sizeOf()) {
    case 1:
        return QVariant(type, &b);
    case 2:
        return QVariant(type, &w);
    case 4:
        return QVariant(type, &d);
    default:
        return QVariant();
    }
}

bool ToEnum(const QMetaEnum& e, const QJsonValue& v, int& out) {
    bool ok = false;
    if (e.isFlag()) {
        if (!v.isArray())
            return false;
        out = 0;
        for (const QJsonValue& n : v.toArray()) {
            if (!n.isString())
                return false;
            const int bit = e.keyToValue(n.toString().toLatin1().constData(), &ok);
            if (!ok)
                return false;
            out |= bit;
        }
        return true;
    }
    if (!v.isString())
        return false;
    out = e.keyToValue(v.toString().toLatin1().constData(), &ok);
    return ok;
}

bool ToBytes(const QJsonValue& v, QVariant& out) {
    if (v.isString()) {
        const auto decoded =
            QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return false;
        out = *decoded;
        return true;
    }
    if (v.isObject() && v.toObject().size() == 1 &&
        v.toObject().value(QStringLiteral("Resource")).isString()) {
        const QString path = v.toObject().value(QStringLiteral("Resource")).toString();
        if (!path.startsWith(QLatin1Char(':')))
            return false; // only the program's own resources
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        out = file.readAll();
        return true;
    }
    return false;
}

} // namespace

namespace FormValue {

QJsonValue ToJson(const QMetaProperty& p, const QVariant& value) {
    if (p.isEnumType())
        return EnumToJson(p.enumerator(), EnumValueOf(value));
    if (p.metaType().flags() & QMetaType::PointerToQObject) {
        // A reference to another component of the window, by its name.
        const QObject* target = value.value<QObject*>();
        return target ? QJsonValue(target->objectName()) : QJsonValue(QJsonValue::Null);
    }
    switch (p.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt:
        return static_cast<qint64>(value.toUInt());
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    default:
        return value.toString();
    }
}

bool ToInteger(const QJsonValue& v, double low, double high, qint64& out) {
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!(d >= low && d <= high) || std::floor(d) != d)
        return false;
    out = static_cast<qint64>(d);
    return true;
}

bool FromJson(const QMetaProperty& p, const QJsonValue& v, QVariant& out) {
    if (p.isEnumType()) {
        int value = 0;
        if (!ToEnum(p.enumerator(), v, value))
            return false;
        out = EnumVariant(p.metaType(), value);
        return out.isValid();
    }
    qint64 n = 0;
    switch (p.metaType().id()) {
    case QMetaType::Bool:
        if (!v.isBool())
            return false;
        out = v.toBool();
        return true;
    case QMetaType::Int:
        if (!ToInteger(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), n))
            return false;
        out = static_cast<int>(n);
        return true;
    case QMetaType::UInt:
        if (!ToInteger(v, 0, std::numeric_limits<unsigned>::max(), n))
            return false;
        out = static_cast<unsigned>(n);
        return true;
    case QMetaType::LongLong:
        if (!ToInteger(v, -9007199254740992.0, 9007199254740992.0, n))
            return false;
        out = n;
        return true;
    case QMetaType::Double:
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return false;
        out = v.toDouble();
        return true;
    case QMetaType::QString:
        if (!v.isString())
            return false;
        out = v.toString();
        return true;
    case QMetaType::QStringList: {
        if (!v.isArray())
            return false;
        QStringList list;
        for (const QJsonValue& s : v.toArray()) {
            if (!s.isString())
                return false;
            list.append(s.toString());
        }
        out = list;
        return true;
    }
    case QMetaType::QByteArray:
        return ToBytes(v, out);
    default:
        return false;
    }
}

} // namespace FormValue

} // namespace quorvel
