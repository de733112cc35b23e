#include "ui/Serial_Settings_Dialog.h"

#include "base/Settings_Record.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Com_Settings_Test : public ::testing::Test
{
protected:
    Settings_Record Settings {};
    int Changes = 0;
    std::unique_ptr<TForm_Com_Settings> Form;
    QComboBox* Baud = nullptr;

    void SetUp() override
    {
        Settings.COM_Baud = 9600;
        Form = std::make_unique<TForm_Com_Settings>(Settings, [this] { ++Changes; });
        Baud = Form->findChild<QComboBox*>(QStringLiteral("ComboBox_COM_Baud"));
        ASSERT_NE(Baud, nullptr);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }

    // Replaces the box's text the way the operator does: select it all and type over it.
    void Type_Baud(const QString& text)
    {
        Baud->lineEdit()->selectAll();
        QTest::keyClicks(Baud->lineEdit(), text);
    }

    QString Text_Of(const char* name) const
    {
        const auto* edit = Form->findChild<QLineEdit*>(QLatin1String(name));
        EXPECT_NE(edit, nullptr) << name;
        if (edit == nullptr)
            return {};
        EXPECT_TRUE(edit->isReadOnly()) << name;
        return edit->text();
    }
};

TEST_F(Com_Settings_Test, ShowsTheRateListAndTheFixedFraming)
{
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Serial Port Settings"));
    EXPECT_TRUE(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(Form->isModal());
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());

    QStringList rates;
    for (int i = 0; i < Baud->count(); ++i)
        rates << Baud->itemText(i);
    EXPECT_EQ(rates.join(QLatin1Char(',')), QStringLiteral("1200,2400,4800,9600,19200,38400,57600,115200"));
    EXPECT_TRUE(Baud->isEditable());
    EXPECT_TRUE(Baud->isEnabled());
    EXPECT_EQ(Baud->currentText(), QStringLiteral("9600"));

    EXPECT_EQ(Text_Of("Edit_Data_Bits"), QStringLiteral("8"));
    EXPECT_EQ(Text_Of("Edit_Stop_Bits"), QStringLiteral("1"));
    EXPECT_EQ(Text_Of("Edit_Parity"), QStringLiteral("None"));
    EXPECT_EQ(Text_Of("Edit_Flow_Control"), QStringLiteral("None"));
    const auto* caption = Form->findChild<QLabel*>(QStringLiteral("Label_Flow_Control"));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), QStringLiteral("Flow Control :"));
    EXPECT_EQ(Changes, 0);
}

TEST_F(Com_Settings_Test, TypedRateIsStored)
{
    Type_Baud(QStringLiteral("14400"));
    EXPECT_EQ(Settings.COM_Baud, 14400);
    EXPECT_GT(Changes, 0);
}

TEST_F(Com_Settings_Test, ChosenRateIsStored)
{
    Baud->setCurrentIndex(Baud->findText(QStringLiteral("115200")));
    EXPECT_EQ(Settings.COM_Baud, 115200);
    EXPECT_EQ(Changes, 1);
}

TEST_F(Com_Settings_Test, TextThatIsNoNumberKeepsTheRate)
{
    Type_Baud(QStringLiteral("x"));
    EXPECT_EQ(Settings.COM_Baud, 9600);
    Type_Baud(QStringLiteral("19200"));
    ASSERT_EQ(Settings.COM_Baud, 19200);
    QTest::keyClicks(Baud->lineEdit(), QStringLiteral("b"));
    EXPECT_EQ(Settings.COM_Baud, 19200);
    Baud->lineEdit()->clear();
    EXPECT_EQ(Settings.COM_Baud, 19200);
}

TEST_F(Com_Settings_Test, RefreshShowsTheStoredRateWithoutStoringAnything)
{
    Settings.COM_Baud = 250000;
    Form->Refresh_Baud_Rate(false);
    EXPECT_EQ(Baud->currentText(), QStringLiteral("250000"));
    EXPECT_FALSE(Baud->isEnabled());
    EXPECT_EQ(Baud->count(), 8);

    Settings.COM_Baud = 38400;
    Form->Refresh_Baud_Rate(true);
    EXPECT_EQ(Baud->currentText(), QStringLiteral("38400"));
    EXPECT_TRUE(Baud->isEnabled());
    EXPECT_EQ(Baud->count(), 8);
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(Settings.COM_Baud, 38400);
}

TEST_F(Com_Settings_Test, OkClosesTheDialog)
{
    auto* ok = Form->findChild<QPushButton*>(QStringLiteral("Button1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    ASSERT_TRUE(Form->isVisible());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(Form->isVisible());
}

} // namespace
