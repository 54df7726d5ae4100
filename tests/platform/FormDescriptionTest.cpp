#include "Graphics.h"
#include "TCollection.h"
#include "TComponent.h"
#include "TFormDescription.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace quorvel;

namespace {

class TSampleItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(int Size MEMBER Size)
    Q_CLASSINFO("default:Size", "0")

public:
    QString Name;
    int Size = 0;
};

class TSampleItems : public TCollection {
    Q_OBJECT

public:
    int ItemCount() const override { return int(m_items.size()); }
    QObject* ItemObject(int i) const override {
        return i >= 0 && i < ItemCount() ? m_items[i].get() : nullptr;
    }
    QObject* AddItem() override { return m_items.emplace_back(std::make_unique<TSampleItem>()).get(); }
    void ClearItems() override { m_items.clear(); }
    TSampleItem* At(int i) const { return static_cast<TSampleItem*>(ItemObject(i)); }

private:
    std::vector<std::unique_ptr<TSampleItem>> m_items;
};

// Colours and a scheme that sets them, like a themed bar: setting a colour
// makes the scheme custom, choosing a scheme sets both colours.
class TSample : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_CLASSINFO("default:Flag", "true")
    Q_PROPERTY(QString Text MEMBER Text)
    Q_PROPERTY(TKind Kind MEMBER Kind)
    Q_CLASSINFO("default:Kind", "kPlain")
    Q_PROPERTY(TOptions Options READ GetOptions WRITE SetOptions)
    Q_PROPERTY(double Date MEMBER Date)
    Q_PROPERTY(QByteArray Data MEMBER Data)
    Q_PROPERTY(TCollection* Items READ ItemsCollection)
    Q_PROPERTY(TColor Face READ Face WRITE SetFace)
    Q_PROPERTY(TColor Edge READ Edge WRITE SetEdge)
    Q_PROPERTY(TScheme Scheme READ Scheme WRITE SetScheme)
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
    Q_PROPERTY(TSample* Partner MEMBER Partner)

public:
    enum TKind : quint8 { kPlain, kFancy, kBold };
    Q_ENUM(TKind)
    enum TOption { opA = 1, opB = 2, opC = 4 };
    Q_DECLARE_FLAGS(TOptions, TOption)
    Q_FLAG(TOptions)
    enum TScheme { scCustom, scSea, scSand };
    Q_ENUM(TScheme)

    using TComponent::TComponent;

    bool Flag = true;
    QString Text;
    TKind Kind = kPlain;
    TOptions Options;
    double Date = 0;
    QByteArray Data;
    TSampleItems Items;
    TSample* Partner = nullptr;

    TCollection* ItemsCollection() { return &Items; }
    TOptions GetOptions() const { return Options; }
    void SetOptions(TOptions o) { Options = o; }
    TColor Face() const { return m_face; }
    void SetFace(TColor c) { m_face = c, m_scheme = scCustom; }
    TColor Edge() const { return m_edge; }
    void SetEdge(TColor c) { m_edge = c, m_scheme = scCustom; }
    TScheme Scheme() const { return m_scheme; }
    void SetScheme(TScheme s) {
        m_scheme = s;
        if (s == scSea)
            m_face = 0xFF8000, m_edge = 0x800000;
        else if (s == scSand)
            m_face = 0x80FFFF, m_edge = 0x008080;
    }
    QString Version() const { return QStringLiteral("2.0.0.1"); }
    void SetVersion(const QString&) {}

private:
    TColor m_face = 0;
    TColor m_edge = 0;
    TScheme m_scheme = scCustom;
};

class TSampleControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)

public:
    using QWidget::QWidget;
    QString Caption;
};

QJsonObject Props(const QJsonObject& component) {
    return component.value("Properties").toObject();
}

std::unique_ptr<TSample> Filled() {
    auto s = std::make_unique<TSample>();
    s->SetName("Sample1");
    s->Flag = false;
    s->Text = "two\rlines";
    s->Kind = TSample::kBold;
    s->Options = TSample::TOptions(TSample::opA) | TSample::opC;
    s->Date = 45000.75;
    s->Data = QByteArray("\x00\xFFjpeg", 6);
    s->SetScheme(TSample::scSand);
    auto* a = static_cast<TSampleItem*>(s->Items.AddItem());
    a->Name = "first";
    a->Size = 12;
    static_cast<TSampleItem*>(s->Items.AddItem())->Name = "second";
    return s;
}

TEST(FormDescription, WritesPublishedValuesByKindAndOmitsDefaults) {
    TSample plain;
    const QJsonObject p0 = Props(TFormDescription::WriteComponent(plain));
    EXPECT_FALSE(p0.contains("Flag"));
    EXPECT_FALSE(p0.contains("Kind"));
    EXPECT_FALSE(p0.contains("Tag"));
    EXPECT_FALSE(p0.contains("Name")); // the entry carries it
    EXPECT_EQ(p0.value("Text"), "");   // no default: always written
    EXPECT_EQ(p0.value("Version"), "2.0.0.1");
    EXPECT_EQ(p0.value("Items").toArray().size(), 0);

    const auto s = Filled();
    const QJsonObject d = TFormDescription::WriteComponent(*s);
    EXPECT_EQ(d.value("Class"), "TSample");
    EXPECT_EQ(d.value("Name"), "Sample1");
    const QJsonObject p = Props(d);
    EXPECT_EQ(p.value("Flag"), false);
    EXPECT_EQ(p.value("Kind"), "kBold");
    EXPECT_EQ(p.value("Options"), QJsonArray({"opA", "opC"}));
    EXPECT_EQ(p.value("Scheme"), "scSand");
    EXPECT_EQ(p.value("Face").toInteger(), 0x80FFFF);
    EXPECT_EQ(p.value("Data"), QString::fromLatin1(s->Data.toBase64()));
    const QJsonArray items = p.value("Items").toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject().value("Size"), 12);
    EXPECT_FALSE(items[1].toObject().contains("Size"));
    EXPECT_EQ(items[1].toObject().value("Name"), "second");
}

TEST(FormDescription, ReadBackGivesEqualValues) {
    const auto s = Filled();
    const QJsonObject d = TFormDescription::WriteComponent(*s);
    TSample back;
    TFormReport report;
    TFormDescription::ReadComponent(d, back, {}, report);
    EXPECT_TRUE(report.Clean()) << report.Skipped.join('\n').toStdString();
    EXPECT_EQ(back.Name(), "Sample1");
    EXPECT_FALSE(back.Flag);
    EXPECT_EQ(back.Text, "two\rlines");
    EXPECT_EQ(back.Kind, TSample::kBold);
    EXPECT_EQ(back.Options, TSample::TOptions(TSample::opA) | TSample::opC);
    EXPECT_DOUBLE_EQ(back.Date, 45000.75);
    EXPECT_EQ(back.Data, s->Data);
    EXPECT_EQ(back.Scheme(), TSample::scSand);
    ASSERT_EQ(back.Items.ItemCount(), 2);
    EXPECT_EQ(back.Items.At(0)->Size, 12);
    EXPECT_EQ(TFormDescription::WriteComponent(back), d);
}

TEST(FormDescription, ColoursAreReadBeforeTheSchemeWhateverTheTextOrder) {
    // Keys in the text put the scheme first; the scheme must still win, as
    // it is declared after the colours.
    const QByteArray text = R"({"Class": "TSample", "Properties":
        {"Scheme": "scSea", "Face": 255, "Edge": 65280}})";
    TSample s;
    TFormReport report;
    ASSERT_TRUE(TFormDescription::ReadForm(text, s, {}, report));
    EXPECT_EQ(s.Scheme(), TSample::scSea);
    EXPECT_EQ(s.Face(), 0xFF8000u);
    // A custom scheme keeps the colours as stored.
    TSample custom;
    TFormDescription::ReadForm(R"({"Properties": {"Scheme": "scCustom", "Face": 255}})", custom, {}, report);
    EXPECT_EQ(custom.Face(), 255u);
    EXPECT_TRUE(report.Clean());
}

TEST(FormDescription, SkipsWhatItCannotReadAndReadsTheRest) {
    const QByteArray text = R"({"Class": "TSample", "Name": "S", "Extra": 1, "Properties": {
        "Flag": "no", "Text": "kept", "Kind": "kHuge", "Options": ["opA", "opZ"], "Date": 1.5,
        "Tag": 1.5, "Face": -1, "Edge": 4294967296, "Data": "not base64!", "Version": "9.9.9.9",
        "Items": [{"Name": "a", "Size": "big"}, 3, {"Name": "b", "Colour": 1}], "Blink": true}})";
    TSample s;
    TFormReport report;
    ASSERT_TRUE(TFormDescription::ReadForm(text, s, {}, report));
    EXPECT_EQ(s.Text, "kept");
    EXPECT_TRUE(s.Flag);
    EXPECT_EQ(s.Kind, TSample::kPlain);
    EXPECT_DOUBLE_EQ(s.Date, 1.5);
    EXPECT_EQ(s.Tag(), 0);
    EXPECT_EQ(s.Version(), "2.0.0.1"); // accepted and ignored
    ASSERT_EQ(s.Items.ItemCount(), 2);
    EXPECT_EQ(s.Items.At(1)->Name, "b");
    const QStringList expected = {
        "S.Extra: unknown entry",     "S.Tag: bad value",        "S.Flag: bad value",
        "S.Kind: bad value",          "S.Options: bad value",    "S.Data: bad value",
        "S.Items[0].Size: bad value", "S.Items[1]: not an item", "S.Items[2].Colour: unknown property",
        "S.Face: bad value",          "S.Edge: bad value",       "S.Blink: unknown property"};
    for (const QString& line : expected)
        EXPECT_TRUE(report.Skipped.contains(line)) << line.toStdString() << "\n"
                                                   << report.Skipped.join('\n').toStdString();
    EXPECT_EQ(report.Skipped.size(), expected.size()) << report.Skipped.join('\n').toStdString();
}

TEST(FormDescription, RefusesTextThatIsNoDescription) {
    for (const QByteArray& text : {QByteArray("{\"Class\": "), QByteArray("[1, 2]"), QByteArray("")}) {
        TSample s;
        TFormReport report;
        EXPECT_FALSE(TFormDescription::ReadForm(text, s, {}, report));
        ASSERT_EQ(report.Skipped.size(), 1);
        EXPECT_TRUE(report.Skipped[0].startsWith("not a form description"));
    }
    // Byte arrays come only from the program's own resources.
    TSample s;
    TFormReport report;
    TFormDescription::ReadForm(R"({"Properties": {"Data": {"Resource": "/etc/passwd"}}})", s, {}, report);
    EXPECT_TRUE(s.Data.isEmpty());
    EXPECT_EQ(report.Skipped, QStringList{"(form).Data: bad value"});
}

TEST(FormDescription, BuildsControlsBindsHandlersAndWritesThemBack) {
    TFormDescription::RegisterClass("TSampleControl", [](QObject* parent) -> QObject* {
        auto* w = qobject_cast<QWidget*>(parent);
        return w ? new TSampleControl(w) : nullptr;
    });
    TFormDescription::RegisterClass("TSample",
                                    [](QObject* parent) -> QObject* { return new TSample(parent); });
    const QByteArray text = R"({"Class": "QWidget", "Name": "Win", "Components": [
        {"Class": "TSampleControl", "Name": "Box", "Properties": {"Left": 5, "Top": 6, "Width": 70, "Height": 20,
          "TabOrder": 2, "Caption": "B", "Font": {"Name": "DejaVu Sans", "Height": 13, "Style": ["fsBold"],
          "Color": 128}},
          "Components": [{"Class": "TSampleControl", "Name": "Inner", "Properties": {"Visible": false}}]},
        {"Class": "TSampleControl", "Name": "First", "Properties": {"TabOrder": 1, "Enabled": false},
         "Events": {"OnClick": "FirstClick", "OnPress": "Nothing"}},
        {"Class": "TSample", "Name": "Data1", "Components": []},
        {"Class": "TSample", "Properties": {}},
        {"Class": "TSampleWidget", "Name": "W"}]})";
    QWidget root;
    std::vector<QString> bound;
    const TEventBinder binder = [&](QObject* c, const QString& event, const QString& handler) {
        if (handler != "FirstClick")
            return false;
        bound.push_back(c->objectName() + "." + event + "=" + handler);
        return true;
    };
    TFormReport report;
    ASSERT_TRUE(TFormDescription::ReadForm(text, root, binder, report));
    EXPECT_EQ(report.Skipped,
              QStringList({"Win.First.OnPress: no handler Nothing for this event",
                           "Win: component without a class or a name", "Win.W: unknown class TSampleWidget"}))
        << report.Skipped.join('\n').toStdString();
    auto* box = root.findChild<TSampleControl*>("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->geometry(), QRect(5, 6, 70, 20));
    EXPECT_EQ(box->Caption, "B");
    EXPECT_TRUE(box->font().bold());
    EXPECT_EQ(box->font().pixelSize(), 13);
    EXPECT_EQ(box->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    auto* inner = box->findChild<TSampleControl*>("Inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->isHidden());
    auto* first = root.findChild<TSampleControl*>("First");
    EXPECT_FALSE(first->isEnabled());
    EXPECT_EQ(bound, std::vector<QString>{"First.OnClick=FirstClick"});
    EXPECT_EQ(TFormDescription::BoundHandler(*first, "OnClick"), "FirstClick");
    EXPECT_NE(root.findChild<TSample*>("Data1"), nullptr);

    // Written back and read into a fresh window, the same description comes out.
    const QByteArray written = TFormDescription::WriteForm(root);
    QWidget again;
    TFormReport second;
    ASSERT_TRUE(TFormDescription::ReadForm(written, again, binder, second));
    EXPECT_TRUE(second.Clean()) << second.Skipped.join('\n').toStdString();
    EXPECT_EQ(TFormDescription::WriteForm(again), written);
}

TEST(FormDescription, ReferencesOtherComponentsByName) {
    TFormDescription::RegisterClass("TSample",
                                    [](QObject* parent) -> QObject* { return new TSample(parent); });
    const QByteArray text = R"({"Class": "QWidget", "Name": "Win", "Components": [
        {"Class": "TSample", "Name": "A", "Properties": {"Partner": "B"}},
        {"Class": "TSample", "Name": "B", "Properties": {"Partner": null}},
        {"Class": "TSample", "Name": "C", "Properties": {"Partner": "Nobody"}},
        {"Class": "TSample", "Name": "D", "Properties": {"Partner": 4}}]})";
    QWidget root;
    TFormReport report;
    ASSERT_TRUE(TFormDescription::ReadForm(text, root, {}, report));
    auto* a = root.findChild<TSample*>("A");
    auto* b = root.findChild<TSample*>("B");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Partner, b); // B did not exist yet when A was read
    EXPECT_EQ(b->Partner, nullptr);
    EXPECT_EQ(root.findChild<TSample*>("C")->Partner, nullptr);
    EXPECT_EQ(report.Skipped,
              QStringList({"Win.D.Partner: bad value", "Win.C.Partner: no component Nobody to refer to"}))
        << report.Skipped.join('\n').toStdString();
    const QJsonObject written = QJsonDocument::fromJson(TFormDescription::WriteForm(root)).object();
    EXPECT_EQ(Props(written["Components"].toArray()[0].toObject())["Partner"], "B");
    EXPECT_TRUE(Props(written["Components"].toArray()[1].toObject())["Partner"].isNull());
}

} // namespace

#include "FormDescriptionTest.moc"
