#include "TFormReader.h"

#include "FormStreaming.h"
#include "FormValue.h"
#include "Graphics.h"
#include "TCollection.h"

#include <QJsonArray>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <limits>

namespace quorvel {

using namespace FormStreaming;

TFormReader::TFormReader(const TEventBinder& binder, TFormReport& report, QObject* root)
    : m_binder(binder), m_report(report), m_root(root) {}

void TFormReader::ResolveReferences() {
    for (const TFixup& f : m_fixups) {
        if (!f.object)
            continue;
        const QMetaObject* wanted = f.property.metaType().metaObject();
        QObject* found = nullptr;
        const QList<QObject*> all = m_root->findChildren<QObject*>(f.target);
        for (QObject* candidate : all)
            if (!wanted || candidate->metaObject()->inherits(wanted)) {
                found = candidate;
                break;
            }
        if (!found && m_root->objectName() == f.target && (!wanted || m_root->metaObject()->inherits(wanted)))
            found = m_root;
        if (!found) {
            Skip(f.where, QStringLiteral("no component %1 to refer to").arg(f.target));
            continue;
        }
        QVariant value(f.property.metaType(), &found);
        if (!f.property.write(f.object.data(), value))
            Skip(f.where, QStringLiteral("bad value"));
    }
    m_fixups.clear();
}

void TFormReader::Skip(const QString& where, const QString& why) {
    m_report.Skipped.append(where + QStringLiteral(": ") + why);
}

void TFormReader::ReadCollection(const QString& where, TCollection& c, const QJsonValue& v) {
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

void TFormReader::ReadFont(const QString& where, QWidget& w, const QJsonValue& v) {
    if (!v.isObject()) {
        Skip(where, QStringLiteral("bad value"));
        return;
    }
    const QJsonObject o = v.toObject();
    QFont f = w.font();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString at = where + QLatin1Char('.') + it.key();
        qint64 n = 0;
        if (it.key() == QLatin1String("Name") && it.value().isString() && !it.value().toString().isEmpty()) {
            f.setFamilies({it.value().toString()});
        } else if (it.key() == QLatin1String("Height") && FormValue::ToInteger(it.value(), 1, 1000, n)) {
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
                   FormValue::ToInteger(it.value(), 0, std::numeric_limits<unsigned>::max(), n)) {
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
void TFormReader::ReadGeometry(const QString& where, const QJsonObject& props, QWidget& w,
                               QSet<QString>& used) {
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
        if (!FormValue::ToInteger(props.value(name), low, 32767, n)) {
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
QSet<QString> TFormReader::ReadControlProperties(const QString& where, const QJsonObject& props, QWidget& w) {
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
        if (FormValue::ToInteger(props.value(QStringLiteral("TabOrder")), 0, 32767, n))
            w.setProperty(kTabOrder, static_cast<int>(n));
        else
            Skip(where + QStringLiteral(".TabOrder"), QStringLiteral("bad value"));
    }
    return used;
}

void TFormReader::ReadProperties(const QString& where, const QJsonObject& props, QObject& object,
                                 bool component) {
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
                m_fixups.push_back({&object, p, v.toString(), at});
            } else {
                Skip(at, QStringLiteral("bad value"));
            }
            continue;
        }
        QVariant value;
        if (!p.isWritable() || !FormValue::FromJson(p, v, value)) {
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

void TFormReader::ReadEvents(const QString& where, const QJsonValue& v, QObject& object) {
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
        if (!m_binder || !m_binder(&object, it.key(), handler)) {
            Skip(at, QStringLiteral("no handler %1 for this event").arg(handler));
            continue;
        }
        TFormDescription::NoteBoundHandler(object, it.key(), handler);
    }
}

QObject* TFormReader::ChildFor(const QString& where, const QJsonObject& d, QObject& parent) {
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
    const TComponentFactory factory = FactoryOf(cls);
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

void TFormReader::ReadComponent(const QString& where, const QJsonObject& d, QObject& object) {
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

} // namespace quorvel
