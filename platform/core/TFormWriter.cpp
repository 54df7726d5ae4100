#include "TFormWriter.h"

#include "FormStreaming.h"
#include "FormValue.h"
#include "TCollection.h"
#include "TComponent.h"
#include "TFormDescription.h"

#include <QFont>
#include <QJsonArray>
#include <QWidget>

namespace quorvel {

using namespace FormStreaming;

namespace {

QString DefaultText(const QObject& object, const QMetaProperty& p) {
    return TComponent::DefaultOf(object, p.name());
}

QJsonObject PropertiesOf(const QObject& object, bool component = false);

QJsonArray CollectionToJson(const TCollection& collection) {
    QJsonArray items;
    for (int i = 0; i < collection.ItemCount(); ++i)
        if (const QObject* item = collection.ItemObject(i))
            items.append(PropertiesOf(*item));
    return items;
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
        const QJsonValue json = FormValue::ToJson(p, value);
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

} // namespace

QJsonObject TFormWriter::WriteComponent(const QObject& object) {
    QJsonObject d;
    d.insert(QStringLiteral("Class"), TFormDescription::StreamedClassName(object));
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

} // namespace quorvel
