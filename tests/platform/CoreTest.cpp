#include "DateTime.h"
#include "MessageBox.h"
#include "TComponent.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

class TSample : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool Flag READ Flag WRITE SetFlag)
    Q_CLASSINFO("default:Flag", "true")
    Q_PROPERTY(QString Text MEMBER m_text)

public:
    using TComponent::TComponent;
    bool Flag() const { return m_flag; }
    void SetFlag(bool flag) { m_flag = flag; }

private:
    bool m_flag = true;
    QString m_text;
};

TEST(DateTime, EncodesAndDecodesKnownDays) {
    EXPECT_DOUBLE_EQ(DateTime::EncodeDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(DateTime::EncodeDate(1970, 1, 1), 25569.0);
    const TDateFields f{2024, 2, 29, 13, 45, 30, 250};
    const TDateFields back = DateTime::Decode(DateTime::Encode(f));
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 13);
    EXPECT_EQ(back.minute, 45);
    EXPECT_EQ(back.second, 30);
    EXPECT_EQ(back.millisecond, 250);
    EXPECT_EQ(DateTime::ToUnixUtc(DateTime::FromUnixUtc(1700000000)), 1700000000);
}

TEST(DateTime, StrictEncodersRejectOutOfRangeFields) {
    EXPECT_THROW(DateTime::Encode(TDateFields{}), EConvertError);
    EXPECT_THROW(DateTime::EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(DateTime::EncodeTime(24, 0, 0, 0), EConvertError);
}

TEST(TComponent, StoresOnlyValuesThatDifferFromTheirDefaults) {
    TSample sample;
    sample.SetName("Sample1");
    QVariantMap stored = sample.StoredProperties();
    EXPECT_EQ(stored.value("Name").toString(), "Sample1");
    EXPECT_FALSE(stored.contains("Flag"));
    EXPECT_FALSE(stored.contains("Tag"));
    EXPECT_TRUE(stored.contains("Text")); // no default: always stored

    sample.SetFlag(false);
    stored = sample.StoredProperties();
    ASSERT_TRUE(stored.contains("Flag"));
    TSample copy;
    copy.LoadProperties(stored);
    EXPECT_FALSE(copy.Flag());
    EXPECT_EQ(copy.Name(), "Sample1");
}

TEST(MessageBox, InstalledHandlerReceivesEveryMessage) {
    QString seen;
    MessageBoxHandler previous = SetMessageBoxHandler(
        [&](const QString& title, const QString& text, TMessageKind) { seen = title + "|" + text; });
    ShowMessageBox("Information", "Hello", TMessageKind::Information);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(seen, "Information|Hello");
}

TEST(MessageBox, WithoutAHandlerAProgramWithWidgetsShowsTheRealBox) {
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    ShowMessageBox("Error", "No space left on device", TMessageKind::Warning);
    EXPECT_EQ(shown, "No space left on device");
}

} // namespace

#include "CoreTest.moc"
