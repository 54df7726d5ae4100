#include "TForm1Description.h"

#include "TCABFile.h"
#include "TForm1.h"
#include "TImage.h"
#include "TLabel.h"
#include "TPanel.h"
#include "TPictureContainer.h"
#include "WebCopy.h"
#include "WindowResources.h"
#include "XiProgressBar.h"
#include "htmlbtns.h"

#include <QFile>

#include <functional>
#include <vector>

namespace quorvel {

namespace {

template <typename T> TComponentFactory Factory() {
    return [](QObject* parent) -> QObject* {
        if constexpr (std::is_base_of_v<QWidget, T>) {
            auto* widget = qobject_cast<QWidget*>(parent);
            return widget ? new T(widget) : nullptr; // a control needs a control to stand in
        } else {
            return new T(parent);
        }
    };
}

// One handler of the window: its name, the event it fits and how it is bound.
struct THandler {
    const char* Name;
    const char* Event;
    std::function<bool(TForm1& form, QObject* component)> Bind;
};

template <typename F> std::function<bool(TForm1&, QObject*)> OnEngine(F bind) {
    return [bind](TForm1& form, QObject* component) {
        auto* engine = qobject_cast<TWebCopy*>(component);
        if (!engine)
            return false;
        bind(form, *engine);
        return true;
    };
}

std::function<bool(TForm1&, QObject*)> OnClick(void (TForm1::*handler)()) {
    return [handler](TForm1& form, QObject* component) {
        auto* button = qobject_cast<QAbstractButton*>(component);
        if (!button)
            return false;
        QObject::connect(button, &QAbstractButton::clicked, &form, [&form, handler] { (form.*handler)(); });
        return true;
    };
}

std::function<bool(TForm1&, QObject*)> OnForm(std::function<void()> TForm::*event,
                                              void (TForm1::*handler)()) {
    return [event, handler](TForm1& form, QObject* component) {
        if (component != &form)
            return false;
        form.*event = [&form, handler] { (form.*handler)(); };
        return true;
    };
}

const std::vector<THandler>& Handlers() {
    static const std::vector<THandler> handlers = {
        {"FormCreate", "OnCreate", OnForm(&TForm::OnCreate, &TForm1::FormCreate)},
        {"FormClose", "OnClose", OnForm(&TForm::OnClose, &TForm1::FormClose)},
        {"BitBtn1Click", "OnClick", OnClick(&TForm1::BitBtn1Click)},
        {"BitBtn2Click", "OnClick", OnClick(&TForm1::BitBtn2Click)},
        {"HTMLButton1Click", "OnClick", OnClick(&TForm1::HTMLButton1Click)},
        {"WebCopy1FileDateCheck", "OnFileDateCheck", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnFileDateCheck = [&f](TWebCopy*, int idx, TDateTime newdate, bool& allow) {
                 f.WebCopy1FileDateCheck(idx, newdate, allow);
             };
         })},
        {"WebCopy1CopyProgress", "OnCopyProgress", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnCopyProgress = [&f](TWebCopy*, int, std::uint64_t, std::uint64_t) {
                 f.WebCopy1CopyProgress();
             };
         })},
        {"WebCopy1FileDone", "OnFileDone", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnFileDone = [&f](TWebCopy*, int) { f.WebCopy1FileDone(); };
         })},
        {"WebCopy1CopyDone", "OnCopyDone",
         OnEngine([](TForm1& f, TWebCopy& e) { e.OnCopyDone = [&f](TWebCopy*) { f.WebCopy1CopyDone(); }; })},
        {"WebCopy1Error", "OnError",
         OnEngine([](TForm1& f, TWebCopy& e) { e.OnError = [&f](TWebCopy*, int) { f.WebCopy1Error(); }; })},
        {"WebCopy1ConnectError", "OnConnectError", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnConnectError = [&f](TWebCopy*) { f.WebCopy1ConnectError(); };
         })},
        {"WebCopy1URLNotFound", "OnURLNotFound", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnURLNotFound = [&f](TWebCopy*, const QString&) { f.WebCopy1URLNotFound(); };
         })},
        {"WebCopy1NoNewFileFound", "OnNoNewFileFound", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnNoNewFileFound = [&f](TWebCopy*, const QString&, TDateTime, TDateTime) {
                 f.WebCopy1NoNewFileFound();
             };
         })},
        {"WebCopy1VerifyFile", "OnVerifyFile", OnEngine([](TForm1& f, TWebCopy& e) {
             e.OnVerifyFile = [&f](TWebCopy*, int, int fd, const QString& tempPath, bool& accept) {
                 f.WebCopy1VerifyFile(fd, tempPath, accept);
             };
         })},
    };
    return handlers;
}

// Finds the named child of the class the window needs, or makes one with its
// defaults (and says so) when the description has none.
template <typename T> T* Need(TForm1& form, QWidget* container, const char* name, TFormReport& report) {
    if (T* found = form.findChild<T*>(QString::fromLatin1(name)))
        return found;
    report.Skipped.append(QStringLiteral("%1: missing from the description; made with its defaults")
                              .arg(QString::fromLatin1(name)));
    T* made = nullptr;
    if constexpr (std::is_base_of_v<QWidget, T>)
        made = new T(container);
    else
        made = new T(&form);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

} // namespace

QByteArray Form1Description() {
    InitWindowResources();
    QFile file(QStringLiteral(":/forms/TForm1.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void RegisterWindowClasses() {
    static const bool done = [] {
        TFormDescription::RegisterClass(QStringLiteral("TWebCopy"), Factory<TWebCopy>());
        TFormDescription::RegisterClass(QStringLiteral("TCABFile"), Factory<TCABFile>());
        TFormDescription::RegisterClass(QStringLiteral("TPictureContainer"), Factory<TPictureContainer>());
        TFormDescription::RegisterClass(QStringLiteral("TLabel"), Factory<TLabel>());
        TFormDescription::RegisterClass(QStringLiteral("TImage"), Factory<TImage>());
        TFormDescription::RegisterClass(QStringLiteral("TPanel"), Factory<TPanel>());
        TFormDescription::RegisterClass(QStringLiteral("THTMLButton"), Factory<THTMLButton>());
        TFormDescription::RegisterClass(QStringLiteral("TXiProgressBar"), Factory<TXiProgressBar>());
        return true;
    }();
    (void)done;
}

TFormReport BuildForm1(TForm1& form, const QByteArray& description) {
    RegisterWindowClasses();
    InitWindowResources();
    TFormReport report;
    const TEventBinder binder = [&form](QObject* component, const QString& event, const QString& handler) {
        for (const THandler& h : Handlers())
            if (handler == QLatin1String(h.Name) && event == QLatin1String(h.Event))
                return h.Bind(form, component);
        return false;
    };
    const QByteArray text = description.isEmpty() ? Form1Description() : description;
    TFormDescription::ReadForm(text, form, binder, report);

    form.WebCopy1 = Need<TWebCopy>(form, &form, "WebCopy1", report);
    form.CABFile1 = Need<TCABFile>(form, &form, "CABFile1", report);
    form.XiProgressBar2 = Need<TXiProgressBar>(form, &form, "XiProgressBar2", report);
    form.Label2 = Need<TLabel>(form, &form, "Label2", report);
    form.Label4 = Need<TLabel>(form, &form, "Label4", report);
    form.Label5 = Need<TLabel>(form, &form, "Label5", report);
    form.BitBtn1 = Need<THTMLButton>(form, &form, "BitBtn1", report);
    form.BitBtn2 = Need<THTMLButton>(form, &form, "BitBtn2", report);
    form.HTMLButton1 = Need<THTMLButton>(form, &form, "HTMLButton1", report);
    // Whatever the description bound, the window's own handlers are what
    // its buttons and engine run.
    for (const THandler& h : Handlers()) {
        QObject* target = nullptr;
        const QString name = QString::fromLatin1(h.Name);
        if (name.startsWith(QLatin1String("Form")))
            target = &form;
        else if (name.startsWith(QLatin1String("WebCopy1")))
            target = form.WebCopy1;
        else
            target = form.findChild<QObject*>(name.left(name.size() - 5)); // "BitBtn1Click" -> "BitBtn1"
        if (target && TFormDescription::BoundHandler(*target, QString::fromLatin1(h.Event)) != name) {
            report.Skipped.append(
                QStringLiteral("%1: %2 not bound by the description; bound to %3")
                    .arg(target->objectName().isEmpty() ? QStringLiteral("Form1") : target->objectName(),
                         QString::fromLatin1(h.Event), name));
            h.Bind(form, target);
            TFormDescription::NoteBoundHandler(*target, QString::fromLatin1(h.Event), name);
        }
    }
    return report;
}

} // namespace quorvel
