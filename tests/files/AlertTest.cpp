#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "files/AlertConfirm.h"
#include "files/AlertMessage.h"
#include "files/AlertPrompt.h"

namespace {

// What a screen hears from its alerts.
struct Answers : AlertViewDelegate {
    struct Answer {
        int index, tag;
        QString text;
    };
    QList<Answer> got;
    void alertViewClickedButtonAtIndex(AlertView *alert, int index) override
    {
        auto *prompt = qobject_cast<AlertPrompt *>(alert);
        got.append({index, alert->tag(), prompt ? prompt->enteredText() : QString()});
    }
};

// The open alert of that title, shown and laid out.
AlertView *openAlert(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *a = qobject_cast<AlertView *>(w); a && a->isVisible() && a->title() == title)
            return a;
    return nullptr;
}

QStringList buttonNames(AlertView *alert)
{
    QStringList names;
    for (int i = 0; i < alert->numberOfButtons(); i++)
        names << QAccessible::queryAccessibleInterface(alert->button(i))->text(QAccessible::Name);
    return names;
}

}  // namespace

// Each kind of alert answered by a real pointer click (or key), as its caller hears it.
TEST(Alert, AnswersReachTheDelegate)
{
    QWidget window;
    window.resize(360, 640);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    struct Row {
        const char *name;
        std::function<void(Answers *)> open;  // shows the alert titled "T"
        QStringList buttons;
        std::function<void(AlertView *)> answer;
        QList<int> indices;  // what the delegate gets
        int tag;
        QString text;
    };
    auto click = [](int i) { return [i](AlertView *a) { QTest::mouseClick(a->button(i), Qt::LeftButton); }; };
    const Row rows[] = {
        {"confirm answered OK", [&](Answers *d) { (new AlertConfirm("T", "Are you sure?", d, 1, &window))->show(); },
         {"Cancel", "OK"}, click(1), {1}, 1, ""},
        {"confirm answered Cancel reaches the delegate with 0",
         [&](Answers *d) { (new AlertConfirm("T", "Are you sure?", d, 7, &window))->show(); },
         {"Cancel", "OK"}, click(0), {0}, 7, ""},
        {"Escape counts as the cancel button",
         [&](Answers *d) { (new AlertConfirm("T", "", d, 3, &window))->show(); },
         {"Cancel", "OK"}, [](AlertView *a) { QTest::keyClick(a, Qt::Key_Escape); }, {0}, 3, ""},
        {"prompt with typed text",
         [&](Answers *d) {
             auto *p = new AlertPrompt("T", "\n\n", d, "Cancel", "OK", &window);
             p->setTag(2);
             p->setEnteredText("My Playlist");
             p->show();
         },
         {"Cancel", "OK"},
         [](AlertView *a) {
             QTest::keyClick(a->textField(), Qt::Key_End);
             QTest::keyClicks(a->textField(), " 2");
             QTest::mouseClick(a->button(1), Qt::LeftButton);
         },
         {1}, 2, "My Playlist 2"},
        {"Enter in the prompt's field is OK",
         [&](Answers *d) { (new AlertPrompt("T", "", d, "Cancel", "OK", &window))->show(); },
         {"Cancel", "OK"},
         [](AlertView *a) {
             QTest::keyClicks(a->textField(), "Rock");
             QTest::keyClick(a->textField(), Qt::Key_Return);
         },
         {1}, 0, "Rock"},
        {"message: one OK and no delegate", [](Answers *) { AlertMessage::show("T", "File already exists"); },
         {"OK"}, click(0), {}, 0, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Answers answers;
        row.open(&answers);
        QPointer<AlertView> alert = openAlert("T");
        ASSERT_TRUE(alert);
        EXPECT_TRUE(alert->isModal());
        EXPECT_EQ(buttonNames(alert), row.buttons);
        if (alert->textField()) {
            EXPECT_EQ(alert->focusWidget(), alert->textField()) << "a prompt opens with the field focused";
        }
        row.answer(alert);
        EXPECT_FALSE(alert && alert->isVisible());
        QList<int> indices;
        for (const auto &a : answers.got) {
            indices << a.index;
            EXPECT_EQ(a.tag, row.tag);
            EXPECT_EQ(a.text, row.text);
        }
        EXPECT_EQ(indices, row.indices);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(alert.isNull()) << "an alert deletes itself once answered";
    }
}

// A prompt keeps a line above its field when given no message; a delegate that went away
// is not called.
TEST(Alert, PromptLayoutAndVanishedDelegate)
{
    QWidget window;
    window.show();
    auto *prompt = new AlertPrompt("Add", "", nullptr, "Cancel", "OK", &window);
    EXPECT_EQ(prompt->message(), "\n");
    prompt->show();
    QLabel *title = prompt->findChild<QLabel *>("alertTitle");
    ASSERT_TRUE(title);
    EXPECT_GT(prompt->textField()->geometry().top(), title->geometry().bottom());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(prompt->textField())->text(QAccessible::Name), "Add");
    QTest::mouseClick(prompt->button(0), Qt::LeftButton);

    auto answers = std::make_unique<Answers>();
    QPointer<AlertView> confirm = new AlertConfirm("Delete file", "Are you sure?", answers.get(), 1, &window);
    confirm->show();
    EXPECT_EQ(confirm->delegate(), answers.get());
    answers.reset();
    EXPECT_EQ(confirm->delegate(), nullptr);
    QTest::mouseClick(confirm->button(1), Qt::LeftButton);
    EXPECT_FALSE(confirm->isVisible());
}
