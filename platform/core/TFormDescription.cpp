#include "TFormDescription.h"

#include "FormStreaming.h"
#include "TFormReader.h"
#include "TFormWriter.h"

#include <QJsonDocument>
#include <QMetaObject>
#include <QVariantMap>

namespace quorvel {

namespace {

QString Where(const QObject& object, const QJsonObject& d) {
    const QString name = d.value(QStringLiteral("Name")).toString();
    return name.isEmpty() ? (object.objectName().isEmpty() ? QStringLiteral("(form)") : object.objectName())
                          : name;
}

} // namespace

void TFormDescription::RegisterClass(const QString& className, TComponentFactory factory) {
    FormStreaming::RegisterFactory(className, std::move(factory));
}

bool TFormDescription::IsRegistered(const QString& className) {
    return FormStreaming::IsRegistered(className);
}

QString TFormDescription::StreamedClassName(const QObject& object) {
    const QMetaObject* meta = object.metaObject();
    const int index = meta->indexOfClassInfo("StreamedClass");
    if (index >= 0)
        return QString::fromLatin1(meta->classInfo(index).value());
    return QString::fromLatin1(FormStreaming::ClassName(meta));
}

QJsonObject TFormDescription::WriteComponent(const QObject& object) {
    return TFormWriter::WriteComponent(object);
}

QByteArray TFormDescription::WriteForm(const QObject& root) {
    return QJsonDocument(WriteComponent(root)).toJson(QJsonDocument::Indented);
}

void TFormDescription::ReadComponent(const QJsonObject& description, QObject& object,
                                     const TEventBinder& binder, TFormReport& report) {
    TFormReader reader(binder, report, &object);
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
    return component.property(FormStreaming::kBoundEvents).toMap().value(event).toString();
}

void TFormDescription::NoteBoundHandler(QObject& component, const QString& event, const QString& handler) {
    QVariantMap events = component.property(FormStreaming::kBoundEvents).toMap();
    events.insert(event, handler);
    component.setProperty(FormStreaming::kBoundEvents, events);
}

} // namespace quorvel
