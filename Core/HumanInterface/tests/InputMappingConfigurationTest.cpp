#include "HumanInterface/InputMappingConfiguration.h"

#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapper.h"
#include "HumanInterface/InputMappingConfigurationElement.h"
#include "QtUtility/QtEvents.h"
#include "RecordingActionHandler.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace HI;

namespace {

class ConfigurationFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_mapper = std::make_unique<InputMapper>(
            &m_events, nullptr, &m_handler,
            std::vector<InputAction>{{1, "Orbit", &m_handler, Continuous},
                                     {2, "Frame the whole scene", &m_handler, Single}});
        m_frame.reset(m_mapper->createConfigurationFrame());
        m_frame->show();
        m_elements = m_frame->findChildren<GUI::InputMappingConfigurationElement*>();
        ASSERT_EQ(m_elements.size(), 2);
    }

    QLineEdit* field(int row, const char* which = "Primary") const
    {
        return m_elements.at(row)->findChild<QLineEdit*>(
            QString("lineEditConfigElement%1Binding").arg(which));
    }
    ActionMapping& mapping(int row) { return m_mapper->getMapping().mappings().at(row); }

    // Chooses an entry of the special-input menu once it is open, noting which
    // entries were enabled.
    void chooseFromMenu(const QString& entry)
    {
        QTimer::singleShot(0, [this, entry] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* action : menu->actions()) {
                if (action->isEnabled() && !action->isSeparator())
                    m_enabledEntries << action->text();
                if (action->text() == entry)
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
    }

    EventSystem m_events;
    RecordingActionHandler m_handler;
    std::unique_ptr<InputMapper> m_mapper;
    std::unique_ptr<GUI::InputMappingConfiguration> m_frame;
    QList<GUI::InputMappingConfigurationElement*> m_elements;
    QStringList m_enabledEntries;
};

TEST_F(ConfigurationFixture, DoubleClickThenPressRecordsADragThatWorksAtOnce)
{
    QLineEdit* orbit = field(0);
    EXPECT_TRUE(orbit->isReadOnly());
    EXPECT_EQ(orbit->text(), "");
    QTest::mouseDClick(orbit, Qt::LeftButton);
    EXPECT_FALSE(orbit->isReadOnly());

    QTest::mousePress(orbit, Qt::LeftButton);
    EXPECT_TRUE(orbit->isReadOnly());
    EXPECT_EQ(orbit->text(), "mouse drag left button");
    EXPECT_EQ(mapping(0).primary.m_type, MouseDrag);
    EXPECT_EQ(mapping(0).primary.m_mouseButtons, unsigned(Qt::LeftButton));
    QTest::mouseRelease(orbit, Qt::LeftButton);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QtInputEvent event(nullptr, &press);
    EXPECT_TRUE(m_events.dispatch(event));
    EXPECT_EQ(m_handler.calls, (std::vector<std::string>{"begin:1@4,2"}));
}

TEST_F(ConfigurationFixture, SingleActionRecordsAKeyOnItsRelease)
{
    QLineEdit* frameAll = field(1, "Secondary");
    QTest::mouseDClick(frameAll, Qt::LeftButton);
    QTest::keyPress(frameAll, Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(frameAll->isReadOnly());
    EXPECT_TRUE(mapping(1).secondary.isNone());
    QTest::keyRelease(frameAll, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(frameAll->isReadOnly());
    EXPECT_EQ(frameAll->text(), "CTRL + key pressed F");
    EXPECT_EQ(mapping(1).secondary.m_key, unsigned(Qt::Key_F));
}

TEST_F(ConfigurationFixture, RightClickMenuOffersSpecialInputsAndNoneClears)
{
    mapping(0).primary.m_type = MouseDrag;
    mapping(0).primary.m_mouseButtons = Qt::LeftButton;
    emit m_frame->contentChanged();
    QLineEdit* orbit = field(0);
    EXPECT_EQ(orbit->text(), "mouse drag left button");

    // In display state a right click opens nothing.
    QTest::mousePress(orbit, Qt::RightButton);
    QTest::mouseRelease(orbit, Qt::RightButton);
    EXPECT_TRUE(orbit->isReadOnly());
    EXPECT_EQ(mapping(0).primary.m_type, MouseDrag);

    QTest::mouseDClick(orbit, Qt::LeftButton);
    chooseFromMenu("none");
    QTest::mousePress(orbit, Qt::RightButton);
    EXPECT_EQ(m_enabledEntries,
              (QStringList{"mouse right drag", "pinch gesture", "touch", "none", "abort"}));
    EXPECT_TRUE(mapping(0).primary.isNone());
    EXPECT_TRUE(orbit->isReadOnly());
    EXPECT_EQ(orbit->text(), "");

    // "abort" keeps the edit state, so the right press itself is recorded.
    QLineEdit* frameAll = field(1);
    QTest::mouseDClick(frameAll, Qt::LeftButton);
    chooseFromMenu("abort");
    QTest::mousePress(frameAll, Qt::RightButton);
    EXPECT_EQ(frameAll->text(), "mouse click right button");
}

TEST_F(ConfigurationFixture, LoadedBindingsShowAfterContentChanged)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath("bindings.xml").toStdString();
    mapping(0).primary.m_type = MouseDrag;
    mapping(0).primary.m_mouseButtons = Qt::MiddleButton;
    ASSERT_TRUE(m_mapper->getMapping().saveBindings(file));
    mapping(0).primary.m_mouseButtons = Qt::RightButton;
    emit m_frame->contentChanged();
    EXPECT_EQ(field(0)->text(), "mouse drag right button");

    ASSERT_TRUE(m_mapper->getMapping().loadBindings(file));
    emit m_frame->contentChanged();
    EXPECT_EQ(field(0)->text(), "mouse drag middle button");

    // A cleared binding keeps its old text until the field is edited.
    mapping(0).primary = InputEvent();
    emit m_frame->contentChanged();
    EXPECT_EQ(field(0)->text(), "mouse drag middle button");
}

} // namespace
