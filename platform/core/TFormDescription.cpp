#include "TFormDescription.h"

#include "Graphics.h"
#include "TCollection.h"
#include "TComponent.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QMutex>
#include <QPalette>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <map>

namespace {

const char* const kBoundEvents = "_quorvelEvents";
const char* const kFontColor = "_quorvelFontColor";
const char* const kTabOrder = "_quorvelTabOrder";

struct TRegistry {
    QMutex mutex;
    QHash<QString, TComponentFactory> factories;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

// Our classes begin with "T"; Qt's own begin with "Q".
bool IsOwnClass(const QMetaObject* meta) {
    return meta->className()[0] == 'T';
}

// Published properties in declaration order, base classes first.
std::vector<QMetaProperty> PublishedProperties(const QObject& object) {
    std::vector<const QMetaObject*> chain;
    for (const QMetaObject* m = object.metaObject(); m; m = m->superClass())
        chain.insert(chain.begin(), m);
    std::vector<QMetaProperty> result;
    for (const QMetaObject* m : chain) {
        if (!IsOwnClass(m))
            continue;
        for (int i = m->propertyOffset(); i < m->propertyCount(); ++i) {
            const QMetaProperty p = m->property(i);
            if (p.isStored())
                result.push_back(p);
        }
    }
    return result;
}

TCollection* CollectionOf(const QMetaProperty& p, const QObject& object) {
    if (!(p.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return qobject_cast<TCollection*>(p.read(&object).value<QObject*>());
}

QString DefaultText(const QObject& object, const QMetaProperty& p) {
    return TComponent::DefaultOf(object, p.name());
}

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

QJsonValue ValueToJson(const QMetaProperty& p, const QVariant& value) {
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

QJsonObject PropertiesOf(const QObject& object, bool component = false);

QJsonArray CollectionToJson(const TCollection& collection) {
    QJsonArray items;
    for (int i = 0; i < collection.ItemCount(); ++i)
        if (const QObject* item = collection.ItemObject(i))
            items.append(PropertiesOf(*item));
    return items;
}

// A control class may publish a control property itself; then its own
// property is what the description carries.
bool OwnProperty(const QObject& object, const char* name) {
    return object.metaObject()->indexOfProperty(name) >= 0;
}

bool ExplicitlyHidden(const QWidget& w) {
    return w.testAttribute(Qt::WA_WState_ExplicitShowHide) && w.testAttribute(Qt::WA_WState_Hidden);
}

void WriteControlProperties(const QWidget& w, QJsonObject& out) {
    if (!w.isWindow()) {
        out.insert(QStringLiteral("Left"), w.x());
        out.insert(QStringLiteral("Top"), w.y());
        out.insert(QStringLiteral("Width"), w.width());
        out.insert(QStringLiteral("Height"), w.height());
        if (ExplicitlyHidden(w) && !OwnProperty(w, "Visible"))
            out.insert(QStringLiteral("Visible"), false);
    }
    if (w.testAttribute(Qt::WA_ForceDisabled) && !OwnProperty(w, "Enabled"))
        out.insert(QStringLiteral("Enabled"), false);
    const QVariant tab = w.property(kTabOrder);
    if (tab.isValid())
        out.insert(QStringLiteral("TabOrder"), tab.toInt());
    const QVariant color = w.property(kFontColor);
    if (w.testAttribute(Qt::WA_SetFont) || color.isValid()) {
        const QFont f = w.font();
        QJsonObject font;
        font.insert(QStringLiteral("Name"), f.family());
        font.insert(QStringLiteral("Height"),
                    f.pixelSize() > 0 ? f.pixelSize() : qRound(f.pointSizeF() * 96 / 72));
        QJsonArray style;
        if (f.bold())
            style.append(QStringLiteral("fsBold"));
        if (f.italic())
            style.append(QStringLiteral("fsItalic"));
        if (f.underline())
            style.append(QStringLiteral("fsUnderline"));
        if (f.strikeOut())
            style.append(QStringLiteral("fsStrikeOut"));
        font.insert(QStringLiteral("Style"), style);
        if (color.isValid())
            font.insert(QStringLiteral("Color"), static_cast<qint64>(color.toUInt()));
        out.insert(QStringLiteral("Font"), font);
    }
}

// A component's name is its entry's "Name"; items keep theirs among their properties.
bool IsComponentName(const QMetaProperty& p) {
    return qstrcmp(p.enclosingMetaObject()->className(), "TComponent") == 0 && qstrcmp(p.name(), "Name") == 0;
}

QJsonObject PropertiesOf(const QObject& object, bool component) {
    QJsonObject out;
    if (const auto* w = qobject_cast<const QWidget*>(&object))
        WriteControlProperties(*w, out);
    for (const QMetaProperty& p : PublishedProperties(object)) {
        if (component && IsComponentName(p))
            continue;
        const QString name = QString::fromLatin1(p.name());
        if (TCollection* c = CollectionOf(p, object)) {
            out.insert(name, CollectionToJson(*c));
            continue;
        }
        if (!p.isWritable())
            continue;
        const QVariant value = p.read(&object);
        const QString fallback = DefaultText(object, p);
        const QJsonValue json = ValueToJson(p, value);
        if (!fallback.isNull() &&
            (p.isEnumType() ? json.toString() == fallback : value.toString() == fallback))
            continue;
        out.insert(name, json);
    }
    return out;
}

bool IsStreamedChild(const QObject& child) {
    if (child.objectName().isEmpty() || qobject_cast<const TCollection*>(&child))
        return false;
    return TFormDescription::StreamedClassName(child).startsWith(QLatin1Char('T'));
}

// ---- reading ----

struct TReader {
    const TEventBinder& binder;
    TFormReport& report;
    QObject* root = nullptr;
    // References to other components, set once every component exists.
    struct TFixup {
        QPointer<QObject> object;
        QMetaProperty property;
        QString target;
        QString where;
    };
    std::vector<TFixup> fixups;

    void ResolveReferences() {
        for (const TFixup& f : fixups) {
            if (!f.object)
                continue;
            const QMetaObject* wanted = f.property.metaType().metaObject();
            QObject* found = nullptr;
            const QList<QObject*> all = root->findChildren<QObject*>(f.target);
            for (QObject* candidate : all)
                if (!wanted || candidate->metaObject()->inherits(wanted)) {
                    found = candidate;
                    break;
                }
            if (!found && root->objectName() == f.target && (!wanted || root->metaObject()->inherits(wanted)))
                found = root;
            if (!found) {
                Skip(f.where, QStringLiteral("no component %1 to refer to").arg(f.target));
                continue;
            }
            QVariant value(f.property.metaType(), &found);
            if (!f.property.write(f.object.data(), value))
                Skip(f.where, QStringLiteral("bad value"));
        }
        fixups.clear();
    }

    void Skip(const QString& where, const QString& why) {
        report.Skipped.append(where + QStringLiteral(": ") + why);
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

    static bool ToInteger(const QJsonValue& v, double low, double high, qint64& out) {
        if (!v.isDouble())
            return false;
        const double d = v.toDouble();
        if (!(d >= low && d <= high) || std::floor(d) != d)
            return false;
        out = static_cast<qint64>(d);
        return true;
    }

    // Turns a JSON value into a value of the property's type; false when it has the wrong kind.
    bool ToVariant(const QMetaProperty& p, const QJsonValue& v, QVariant& out) {
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

    static bool ToBytes(const QJsonValue& v, QVariant& out) {
        if (v.isString()) {
            const auto decoded = QByteArray::fromBase64Encoding(v.toString().toLatin1(),
                                                                QByteArray::AbortOnBase64DecodingErrors);
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

    void ReadCollection(const QString& where, TCollection& c, const QJsonValue& v) {
        if (!v.isArray()) {
            Skip(where, QStringLiteral("not a list of items"));
            return;
        }
        c.ClearItems();
        const QJsonArray items = v.toArray();
        for (int i = 0; i < items.size(); ++i) {
            const QString at = where + QStringLiteral("[%1]").arg(i);
            if (!items[i].isObject()) {
                Skip(at, QStringLiteral("not an item"));
                continue;
            }
            if (QObject* item = c.AddItem())
                ReadProperties(at, items[i].toObject(), *item);
        }
    }

    void ReadFont(const QString& where, QWidget& w, const QJsonValue& v) {
        if (!v.isObject()) {
            Skip(where, QStringLiteral("bad value"));
            return;
        }
        const QJsonObject o = v.toObject();
        QFont f = w.font();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString at = where + QLatin1Char('.') + it.key();
            qint64 n = 0;
            if (it.key() == QLatin1String("Name") && it.value().isString() &&
                !it.value().toString().isEmpty()) {
                f.setFamilies({it.value().toString()});
            } else if (it.key() == QLatin1String("Height") && ToInteger(it.value(), 1, 1000, n)) {
                f.setPixelSize(static_cast<int>(n));
            } else if (it.key() == QLatin1String("Style") && it.value().isArray()) {
                f.setBold(false);
                f.setItalic(false);
                f.setUnderline(false);
                f.setStrikeOut(false);
                for (const QJsonValue& s : it.value().toArray()) {
                    const QString style = s.toString();
                    if (style == QLatin1String("fsBold"))
                        f.setBold(true);
                    else if (style == QLatin1String("fsItalic"))
                        f.setItalic(true);
                    else if (style == QLatin1String("fsUnderline"))
                        f.setUnderline(true);
                    else if (style == QLatin1String("fsStrikeOut"))
                        f.setStrikeOut(true);
                    else
                        Skip(at, QStringLiteral("unknown style"));
                }
            } else if (it.key() == QLatin1String("Color") &&
                       ToInteger(it.value(), 0, std::numeric_limits<unsigned>::max(), n)) {
                const TColor color = static_cast<TColor>(n);
                w.setProperty(kFontColor, QVariant::fromValue(static_cast<unsigned>(color)));
                const TColor rgb = ColorToRGB(color);
                QPalette pal = w.palette();
                const QColor qc(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
                for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                    pal.setColor(role, qc);
                w.setPalette(pal);
            } else if (it.key() == QLatin1String("Name") || it.key() == QLatin1String("Height") ||
                       it.key() == QLatin1String("Style") || it.key() == QLatin1String("Color")) {
                Skip(at, QStringLiteral("bad value"));
            } else {
                Skip(at, QStringLiteral("unknown property"));
            }
        }
        w.setFont(f);
    }

    // Left, Top, Width and Height, applied after everything else so that
    // settings that resize a control (a font, a text) cannot undo them.
    void ReadGeometry(const QString& where, const QJsonObject& props, QWidget& w, QSet<QString>& used) {
        const QRect g = w.geometry();
        int edges[4] = {g.x(), g.y(), g.width(), g.height()};
        const char* names[4] = {"Left", "Top", "Width", "Height"};
        bool geometryGiven = false;
        for (int i = 0; i < 4; ++i) {
            const QString name = QString::fromLatin1(names[i]);
            if (!props.contains(name) || w.isWindow())
                continue;
            used.insert(name);
            qint64 n = 0;
            const double low = i < 2 ? -32768 : 0;
            if (!ToInteger(props.value(name), low, 32767, n)) {
                Skip(where + QLatin1Char('.') + name, QStringLiteral("bad value"));
                continue;
            }
            edges[i] = static_cast<int>(n);
            geometryGiven = true;
        }
        if (geometryGiven)
            w.setGeometry(edges[0], edges[1], edges[2], edges[3]);
    }

    // Reads the other control properties a widget carries; returns the names it used.
    QSet<QString> ReadControlProperties(const QString& where, const QJsonObject& props, QWidget& w) {
        QSet<QString> used;
        if (props.contains(QStringLiteral("Font"))) {
            used.insert(QStringLiteral("Font"));
            ReadFont(where + QStringLiteral(".Font"), w, props.value(QStringLiteral("Font")));
        }
        for (const char* flag : {"Visible", "Enabled"}) {
            const QString name = QString::fromLatin1(flag);
            if (!props.contains(name) || OwnProperty(w, flag) ||
                (name == QLatin1String("Visible") && w.isWindow()))
                continue;
            used.insert(name);
            const QJsonValue v = props.value(name);
            if (!v.isBool()) {
                Skip(where + QLatin1Char('.') + name, QStringLiteral("bad value"));
                continue;
            }
            if (name == QLatin1String("Visible"))
                w.setVisible(v.toBool());
            else
                w.setEnabled(v.toBool());
        }
        if (props.contains(QStringLiteral("TabOrder"))) {
            used.insert(QStringLiteral("TabOrder"));
            qint64 n = 0;
            if (ToInteger(props.value(QStringLiteral("TabOrder")), 0, 32767, n))
                w.setProperty(kTabOrder, static_cast<int>(n));
            else
                Skip(where + QStringLiteral(".TabOrder"), QStringLiteral("bad value"));
        }
        return used;
    }

    void ReadProperties(const QString& where, const QJsonObject& props, QObject& object,
                        bool component = false) {
        QSet<QString> used;
        if (auto* w = qobject_cast<QWidget*>(&object))
            used = ReadControlProperties(where, props, *w);
        for (const QMetaProperty& p : PublishedProperties(object)) {
            if (component && IsComponentName(p))
                continue;
            const QString name = QString::fromLatin1(p.name());
            if (!props.contains(name) || used.contains(name))
                continue;
            used.insert(name);
            const QString at = where + QLatin1Char('.') + name;
            const QJsonValue v = props.value(name);
            if (TCollection* c = CollectionOf(p, object)) {
                ReadCollection(at, *c, v);
                continue;
            }
            if ((p.metaType().flags() & QMetaType::PointerToQObject) && p.isWritable()) {
                if (v.isNull()) {
                    QObject* none = nullptr;
                    p.write(&object, QVariant(p.metaType(), &none));
                } else if (v.isString()) {
                    fixups.push_back({&object, p, v.toString(), at});
                } else {
                    Skip(at, QStringLiteral("bad value"));
                }
                continue;
            }
            QVariant value;
            if (!p.isWritable() || !ToVariant(p, v, value)) {
                Skip(at, p.isWritable() ? QStringLiteral("bad value") : QStringLiteral("read-only"));
                continue;
            }
            try {
                if (!p.write(&object, value))
                    Skip(at, QStringLiteral("bad value"));
            } catch (const std::exception& e) {
                Skip(at, QString::fromUtf8(e.what()));
            }
        }
        if (auto* w = qobject_cast<QWidget*>(&object))
            ReadGeometry(where, props, *w, used);
        for (auto it = props.begin(); it != props.end(); ++it)
            if (!used.contains(it.key()))
                Skip(where + QLatin1Char('.') + it.key(), QStringLiteral("unknown property"));
        // A class that settles itself once its properties are in (a label
        // fitting its text) does so now.
        if (object.metaObject()->indexOfMethod("Loaded()") >= 0)
            QMetaObject::invokeMethod(&object, "Loaded", Qt::DirectConnection);
    }

    void ReadEvents(const QString& where, const QJsonValue& v, QObject& object) {
        if (!v.isObject()) {
            Skip(where + QStringLiteral(".Events"), QStringLiteral("not a list of events"));
            return;
        }
        const QJsonObject events = v.toObject();
        for (auto it = events.begin(); it != events.end(); ++it) {
            const QString at = where + QLatin1Char('.') + it.key();
            if (!it.value().isString()) {
                Skip(at, QStringLiteral("bad handler name"));
                continue;
            }
            const QString handler = it.value().toString();
            if (!binder || !binder(&object, it.key(), handler)) {
                Skip(at, QStringLiteral("no handler %1 for this event").arg(handler));
                continue;
            }
            TFormDescription::NoteBoundHandler(object, it.key(), handler);
        }
    }

    QObject* ChildFor(const QString& where, const QJsonObject& d, QObject& parent) {
        const QString cls = d.value(QStringLiteral("Class")).toString();
        const QString name = d.value(QStringLiteral("Name")).toString();
        if (name.isEmpty() || cls.isEmpty()) {
            Skip(where, QStringLiteral("component without a class or a name"));
            return nullptr;
        }
        for (QObject* existing : parent.children()) {
            if (existing->objectName() != name)
                continue;
            if (TFormDescription::StreamedClassName(*existing) == cls)
                return existing;
            Skip(where + QLatin1Char('.') + name, QStringLiteral("already exists as another class"));
            return nullptr;
        }
        TComponentFactory factory;
        {
            TRegistry& r = Registry();
            QMutexLocker lock(&r.mutex);
            factory = r.factories.value(cls);
        }
        if (!factory) {
            Skip(where + QLatin1Char('.') + name, QStringLiteral("unknown class %1").arg(cls));
            return nullptr;
        }
        QObject* child = factory(&parent);
        if (!child) {
            Skip(where + QLatin1Char('.') + name, QStringLiteral("class %1 cannot be placed here").arg(cls));
            return nullptr;
        }
        if (child->parent() != &parent)
            child->setParent(&parent);
        child->setObjectName(name);
        return child;
    }

    void ReadComponent(const QString& where, const QJsonObject& d, QObject& object) {
        for (auto it = d.begin(); it != d.end(); ++it) {
            static const QStringList known = {QStringLiteral("Class"), QStringLiteral("Name"),
                                              QStringLiteral("Properties"), QStringLiteral("Events"),
                                              QStringLiteral("Components")};
            if (!known.contains(it.key()))
                Skip(where + QLatin1Char('.') + it.key(), QStringLiteral("unknown entry"));
        }
        const QJsonValue props = d.value(QStringLiteral("Properties"));
        if (props.isObject())
            ReadProperties(where, props.toObject(), object, true);
        else if (!props.isUndefined())
            Skip(where + QStringLiteral(".Properties"), QStringLiteral("not a list of properties"));
        const QJsonValue children = d.value(QStringLiteral("Components"));
        if (children.isArray()) {
            std::vector<QWidget*> tabbed;
            for (const QJsonValue& c : children.toArray()) {
                if (!c.isObject()) {
                    Skip(where, QStringLiteral("a component entry is not a component"));
                    continue;
                }
                QObject* child = ChildFor(where, c.toObject(), object);
                if (!child)
                    continue;
                ReadComponent(where + QLatin1Char('.') + child->objectName(), c.toObject(), *child);
                if (auto* w = qobject_cast<QWidget*>(child); w && w->property(kTabOrder).isValid())
                    tabbed.push_back(w);
            }
            std::stable_sort(tabbed.begin(), tabbed.end(), [](QWidget* a, QWidget* b) {
                return a->property(kTabOrder).toInt() < b->property(kTabOrder).toInt();
            });
            for (std::size_t i = 1; i < tabbed.size(); ++i)
                QWidget::setTabOrder(tabbed[i - 1], tabbed[i]);
        } else if (!children.isUndefined()) {
            Skip(where + QStringLiteral(".Components"), QStringLiteral("not a list of components"));
        }
        // Handlers are bound last, once every component they may use exists.
        const QJsonValue events = d.value(QStringLiteral("Events"));
        if (!events.isUndefined())
            ReadEvents(where, events, object);
    }
};

QString Where(const QObject& object, const QJsonObject& d) {
    const QString name = d.value(QStringLiteral("Name")).toString();
    return name.isEmpty() ? (object.objectName().isEmpty() ? QStringLiteral("(form)") : object.objectName())
                          : name;
}

} // namespace

void TFormDescription::RegisterClass(const QString& className, TComponentFactory factory) {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.mutex);
    r.factories.insert(className, std::move(factory));
}

bool TFormDescription::IsRegistered(const QString& className) {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.mutex);
    return r.factories.contains(className);
}

QString TFormDescription::StreamedClassName(const QObject& object) {
    const QMetaObject* meta = object.metaObject();
    const int index = meta->indexOfClassInfo("StreamedClass");
    if (index >= 0)
        return QString::fromLatin1(meta->classInfo(index).value());
    return QString::fromLatin1(meta->className());
}

QJsonObject TFormDescription::WriteComponent(const QObject& object) {
    QJsonObject d;
    d.insert(QStringLiteral("Class"), StreamedClassName(object));
    d.insert(QStringLiteral("Name"), object.objectName());
    d.insert(QStringLiteral("Properties"), PropertiesOf(object, true));
    const QVariantMap events = object.property(kBoundEvents).toMap();
    if (!events.isEmpty())
        d.insert(QStringLiteral("Events"), QJsonObject::fromVariantMap(events));
    QJsonArray children;
    const bool container = qobject_cast<const QWidget*>(&object) != nullptr;
    for (const QObject* child : object.children()) {
        if (!IsStreamedChild(*child))
            continue;
        // Non-visual components and controls belong to a window; only
        // controls contain further controls.
        if (!container)
            continue;
        children.append(WriteComponent(*child));
    }
    if (!children.isEmpty())
        d.insert(QStringLiteral("Components"), children);
    return d;
}

QByteArray TFormDescription::WriteForm(const QObject& root) {
    return QJsonDocument(WriteComponent(root)).toJson(QJsonDocument::Indented);
}

void TFormDescription::ReadComponent(const QJsonObject& description, QObject& object,
                                     const TEventBinder& binder, TFormReport& report) {
    TReader reader{binder, report, &object, {}};
    const QString cls = description.value(QStringLiteral("Class")).toString();
    if (!cls.isEmpty() && cls != StreamedClassName(object))
        reader.Skip(Where(object, description),
                    QStringLiteral("describes a %1, read into a %2").arg(cls, StreamedClassName(object)));
    const QJsonValue name = description.value(QStringLiteral("Name"));
    if (name.isString() && !name.toString().isEmpty())
        object.setObjectName(name.toString());
    reader.ReadComponent(Where(object, description), description, object);
    reader.ResolveReferences();
}

bool TFormDescription::ReadForm(const QByteArray& text, QObject& root, const TEventBinder& binder,
                                TFormReport& report) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        report.Skipped.append(QStringLiteral("not a form description: ") +
                              (error.error != QJsonParseError::NoError
                                   ? error.errorString() + QStringLiteral(" at offset %1").arg(error.offset)
                                   : QStringLiteral("no object at the top")));
        return false;
    }
    ReadComponent(doc.object(), root, binder, report);
    return true;
}

QString TFormDescription::BoundHandler(const QObject& component, const QString& event) {
    return component.property(kBoundEvents).toMap().value(event).toString();
}

void TFormDescription::NoteBoundHandler(QObject& component, const QString& event, const QString& handler) {
    QVariantMap events = component.property(kBoundEvents).toMap();
    events.insert(event, handler);
    component.setProperty(kBoundEvents, events);
}
