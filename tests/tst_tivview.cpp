// The editor view: its four layouts, the arrangement, the protection boxes, the weather list and the
// formatting bar on the editor of the current module.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

#include "crypto/TextCipher.h"
#include "records/CMyRichEdit.h"
#include "records/CTivView.h"
#include "records/TextFormatting.h"
#include "storage/Recordset.h"
#include "storage/Schema.h"
#include "support/ModalDriver.h"
#include "support/TestState.h"

namespace {

const QStringList kFileControls = {"fileCaptionEdit", "fileSummaryLabel", "fileSummaryEdit", "fileContentEdit",
                                   "fileRankCheck",   "fileKeyCheck",     "fileKeyEdit",     "fileStrengthenCheck"};
const QStringList kDairyControls = {"dairyDateEdit",    "weatherCombo",        "dairyCaptionEdit", "dairySummaryLabel",
                                    "dairySummaryEdit", "dairyContentEdit",    "dairyRankCheck",   "dairyKeyCheck",
                                    "dairyKeyEdit",     "dairyStrengthenCheck"};
const QStringList kPwdControls = {
    "pwdCaptionEdit",    "pwdUserNameLabel", "pwdPasswordLabel",   "pwdUrlLabel",           "pwdIntroLabel",
    "pwdUserNameEdit",   "pwdPasswordEdit",  "pwdUrlEdit",         "pwdIntroEdit",          "pwdRankCheck",
    "pwdKeyCheck",       "pwdKeyEdit",       "pwdStrengthenCheck", "pwdCopyUserNameButton", "pwdCopyPasswordButton",
    "pwdGenerateButton", "pwdStrengthMeter"};
const QStringList kBarControls = {"fontCombo",       "sizeCombo",        "boldButton",        "italicButton",
                                  "underlineButton", "alignLeftButton",  "alignCenterButton", "alignRightButton",
                                  "colorButton",     "fontDialogButton", "undoButton",        "redoButton",
                                  "copyButton",      "cutButton",        "pasteButton"};

struct View {
    TestState test;
    CTivView view{test.state(), test.prompter()};

    // A view of the module, with a record of it on show (its form is enabled only then).
    explicit View(ModuleKind module = ModuleKind::None)
    {
        view.resize(640, 480);
        view.show();
        switchTo(module);
        if (module != ModuleKind::None)
            showNewRecord(module);
    }
    int showNewRecord(ModuleKind module, const QString& caption = QStringLiteral("记录"))
    {
        CDbConnection& db = test.state().moduleConnection(module);
        db.execute(QStringLiteral("INSERT INTO %1 (userId, mCaption, folderType, parentId, orderId, mRank) "
                                  "VALUES (?, ?, 10, '10001999999999999999999999', 1, 0)")
                       .arg(moduleTable(module)),
                   {test.state().user.id, TextCipher::EncryptText(test.state().user.dataKey, caption)});
        const int id = static_cast<int>(db.lastInsertRowId());
        test.state().selection(module).currentRecordId = id;
        view.loadRecord(module);
        return id;
    }
    // Stores the RTF as the body of the module's record on show and loads the record again.
    void showBody(ModuleKind module, const QByteArray& rtf)
    {
        test.state().moduleConnection(module).execute(
            QStringLiteral("UPDATE %1 SET mContent=? WHERE id=?").arg(moduleTable(module)),
            {TextCipher::EncryptBytes(test.state().user.dataKey, rtf), test.state().selection(module).currentRecordId});
        view.loadRecord(module);
    }
    void switchTo(ModuleKind module)
    {
        test.state().currentModule = module;
        view.switchModule();
    }
    template <class T = QWidget> T* find(const QString& name) const
    {
        T* widget = view.findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QTextEdit* editor(ModuleKind module) const
    {
        return find<QTextEdit>(module == ModuleKind::File ? "fileContentEdit" : "dairyContentEdit");
    }
    QStringList visibleControls() const
    {
        QStringList visible;
        for (const QStringList* names : {&kFileControls, &kDairyControls, &kPwdControls, &kBarControls})
            for (const QString& name : *names)
                if (find(name)->isVisible())
                    visible << name;
        if (find("summaryLabel")->isVisible())
            visible << "summaryLabel";
        return visible;
    }
};

QRect inView(const QWidget* widget, const QWidget* view)
{
    return QRect(widget->mapTo(view, QPoint(0, 0)), widget->size());
}

QTextCharFormat formatAt(QTextEdit* editor, int position)
{
    QTextCursor cursor(editor->document());
    cursor.setPosition(position);
    return cursor.charFormat();
}

void moveCaret(QTextEdit* editor, int anchor, int position)
{
    QTextCursor cursor(editor->document());
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
}

// What a list of the bar shows: its entry, or the name of a face or size it does not offer.
QString shownIn(const QComboBox* combo)
{
    return combo->currentIndex() >= 0 ? combo->currentText() : combo->placeholderText();
}

// Each paragraph's alignment and each run of text with the attributes a body stores.
QStringList formatsOf(const QTextDocument& document)
{
    QStringList runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        runs << QStringLiteral("paragraph %1").arg(int(block.blockFormat().alignment()));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat stored = TextFormatting::storedAttributes(it.fragment().charFormat(), document);
            runs << QStringLiteral("%1|%2|%3|%4%5%6%7|%8")
                        .arg(it.fragment().text(), TextFormatting::faceOf(stored))
                        .arg(stored.fontPointSize())
                        .arg(stored.fontWeight() > QFont::Medium ? "b" : "-")
                        .arg(stored.fontItalic() ? "i" : "-")
                        .arg(stored.fontUnderline() ? "u" : "-")
                        .arg(stored.fontStrikeOut() ? "s" : "-")
                        .arg(stored.hasProperty(QTextFormat::ForegroundBrush) ? stored.foreground().color().name()
                                                                              : QStringLiteral("auto"));
        }
    }
    return runs;
}

} // namespace

class TivViewTest : public QObject {
    Q_OBJECT

private slots:
    void eachLayoutShowsItsModuleOnly()
    {
        View v;
        const std::map<ModuleKind, QStringList> expected = {
            {ModuleKind::None, {"summaryLabel"}},
            {ModuleKind::File, kFileControls + kBarControls},
            {ModuleKind::Dairy, kDairyControls + kBarControls},
            {ModuleKind::Pwd, kPwdControls},
        };
        QCOMPARE(v.visibleControls(), expected.at(ModuleKind::None));
        for (ModuleKind module : {ModuleKind::File, ModuleKind::Dairy, ModuleKind::Pwd, ModuleKind::File,
                                  ModuleKind::None, ModuleKind::Dairy, ModuleKind::None, ModuleKind::Pwd}) {
            v.switchTo(module);
            QCOMPARE(v.view.laidOutModule(), module);
            QCOMPARE(v.visibleControls(), expected.at(module));
        }
    }

    void switchingKeepsWhatTheControlsHold()
    {
        View v(ModuleKind::File);
        auto* caption = v.find<QLineEdit>("fileCaptionEdit");
        caption->clear();
        QTest::keyClicks(caption, "report");
        v.editor(ModuleKind::File)->setPlainText("正文");
        caption->setGeometry(5, 6, 100, 20);
        v.switchTo(ModuleKind::File); // the same module: not even arranged again
        QCOMPARE(caption->text(), "report");
        QCOMPARE(caption->geometry(), QRect(5, 6, 100, 20));

        v.switchTo(ModuleKind::Dairy);
        v.switchTo(ModuleKind::File);
        QCOMPARE(caption->text(), "report");
        QCOMPARE(v.editor(ModuleKind::File)->toPlainText(), "正文");
        QCOMPARE(caption->geometry().width(), v.view.width() - 2); // arranged again on the way back
    }

    void arrangesTheVisibleModule()
    {
        // Captions across the top, the summary below them, the editor filling the rest, and the
        // protection row along the bottom edge; growing the view grows what fills it.
        for (ModuleKind module : kAllModules) {
            View v(module);
            const QString prefix = moduleInfo(module).name;
            const auto rect = [&](const QString& name) {
                return inView(v.find(name), &v.view);
            };
            const QRect view = v.view.rect();
            const QRect caption = rect(prefix + "CaptionEdit");
            QVERIFY2(caption.top() < 5 && caption.right() >= view.right() - 3, qPrintable(prefix));

            const QStringList row = {prefix + "RankCheck", prefix + "KeyCheck", prefix + "KeyEdit",
                                     prefix + "StrengthenCheck"};
            for (qsizetype i = 0; i < row.size(); ++i) {
                QCOMPARE(rect(row[i]).bottom(), view.bottom());
                if (i > 0)
                    QVERIFY(rect(row[i - 1]).right() < rect(row[i]).left());
            }
            const int protectionTop = rect(row.front()).top();

            QString filler;
            if (module == ModuleKind::Pwd) {
                const QStringList fields = {"pwdUserName", "pwdPassword", "pwdUrl", "pwdIntro"};
                // The name and the password end in their buttons, the password has its strength under it.
                const std::map<QString, QString> rowEnds = {{"pwdUserName", "pwdCopyUserNameButton"},
                                                            {"pwdPassword", "pwdGenerateButton"}};
                int above = caption.bottom();
                for (const QString& field : fields) {
                    const QRect label = rect(field + "Label");
                    const QRect edit = rect(field + "Edit");
                    QVERIFY2(label.top() > above && label.right() < edit.left() && label.top() == edit.top(),
                             qPrintable(field));
                    const QRect end = rowEnds.count(field) ? rect(rowEnds.at(field)) : edit;
                    QVERIFY(end == edit || (edit.right() < end.left() && end.top() == edit.top()));
                    QVERIFY(end.right() >= view.right() - 3);
                    above = edit.bottom();
                    if (field == "pwdPassword") {
                        const QRect strength = rect("pwdStrengthMeter");
                        QVERIFY(strength.top() > above && strength.width() == edit.width());
                        above = strength.bottom();
                    }
                }
                filler = "pwdIntroEdit";
            } else {
                if (module == ModuleKind::Dairy) {
                    const QRect date = rect("dairyDateEdit");
                    const QRect weather = rect("weatherCombo");
                    QVERIFY(date.right() < weather.left() && weather.right() < caption.left());
                    QCOMPARE(date.top(), weather.top());
                }
                const QRect summary = rect(prefix + "SummaryEdit");
                const QRect label = rect(prefix + "SummaryLabel");
                const QRect editor = rect(prefix + "ContentEdit");
                const QRect bar = inView(v.find("formatBar"), &v.view);
                QVERIFY(summary.top() > caption.bottom() && label.right() < summary.left());
                QVERIFY(bar.top() > summary.bottom() && editor.top() > bar.bottom());
                QVERIFY(editor.right() >= view.right() - 3);
                filler = prefix + "ContentEdit";
            }
            const QRect filled = rect(filler);
            QVERIFY2(filled.bottom() < protectionTop && protectionTop - filled.bottom() < 40, qPrintable(filler));

            v.view.resize(v.view.width() + 100, v.view.height() + 60);
            QCOMPARE(rect(filler).height(), filled.height() + 60);
            QCOMPARE(rect(filler).width(), filled.width() + 100);
            QCOMPARE(rect(row.front()).bottom(), v.view.rect().bottom());
            // As narrow as the main window at its default size lets the view be: nothing is cut off.
            v.view.resize(415, v.view.height());
            QVERIFY(rect(row.back()).right() <= v.view.rect().right());
            QVERIFY(rect(row[2]).right() < rect(row[3]).left());
        }
    }

    void aViewOf50By30KeepsItsArrangement()
    {
        View v(ModuleKind::File);
        v.view.setMinimumSize(0, 0);
        auto* caption = v.find("fileCaptionEdit");
        auto* rank = v.find("fileRankCheck");
        const QRect captionBefore = caption->geometry();
        const QRect rankBefore = rank->geometry();
        v.view.resize(50, 30);
        QCOMPARE(caption->geometry(), captionBefore);
        QCOMPARE(rank->geometry(), rankBefore);
        v.view.resize(51, 30); // one pixel more is arranged again
        QVERIFY(caption->geometry().right() < 51);
        QCOMPARE(rank->geometry().bottom(), 29);
    }

    void accountFieldsCopyThroughTheForgettingClipboard()
    {
        View v(ModuleKind::Pwd);
        auto* name = v.find<QLineEdit>("pwdUserNameEdit");
        auto* password = v.find<QLineEdit>("pwdPasswordEdit");
        name->setText("zhang");
        password->setText("pa55word");
        QClipboard* clipboard = QApplication::clipboard();
        const auto held = [&] {
            const bool secret = clipboard->mimeData()->data("x-kde-passwordManagerHint") == "secret";
            return clipboard->text() + (secret ? QStringLiteral(" secret") : QString());
        };
        const auto copied = [&](QLineEdit* field, int start, int length) {
            field->setSelection(start, length);
            QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
            return held();
        };
        // Without a selection the whole value; a selection of the name is ordinary text, of the password not.
        QCOMPARE(copied(name, 0, 0), "zhang secret");
        QCOMPARE(copied(name, 0, 2), "zh");
        QCOMPARE(copied(password, 2, 2), "55 secret");
        clipboard->clear();
        v.find<QToolButton>("pwdCopyPasswordButton")->click();
        QCOMPARE(clipboard->text(), "pa55word");
        // The edit's own menu copies a selection of the password as Ctrl+C does.
        clipboard->clear();
        password->setSelection(0, 4);
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            for (QAction* action : menu ? menu->actions() : QList<QAction*>())
                if (action->text().startsWith("&Copy"))
                    action->trigger();
            if (menu)
                menu->close();
        });
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2), password->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(password, &menuEvent);
        QCOMPARE(held(), "pa55 secret");

        // Hidden behind dots until "显示", and hidden again for the next record.
        auto* show = v.find<QToolButton>("pwdShowPasswordButton");
        QVERIFY(password->echoMode() == QLineEdit::Normal && !show->isVisible());
        v.test.state().preferences.hidePassword = true;
        v.view.applyPreferences();
        QVERIFY(password->echoMode() == QLineEdit::Password && show->isVisible());
        QCOMPARE(copied(password, 0, 0), "pa55word secret");
        show->click();
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        v.showNewRecord(ModuleKind::Pwd);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
    }

    void protectionBoxes_data()
    {
        QTest::addColumn<int>("module");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("documents") << int(ModuleKind::File) << "file";
        QTest::newRow("diary") << int(ModuleKind::Dairy) << "dairy";
        QTest::newRow("password box") << int(ModuleKind::Pwd) << "pwd";
    }

    void protectionBoxes()
    {
        QFETCH(int, module);
        QFETCH(QString, prefix);
        View v(static_cast<ModuleKind>(module));
        auto* custom = v.find<QAbstractButton>(prefix + "KeyCheck");
        auto* key = v.find(prefix + "KeyEdit");
        auto* strengthen = v.find<QAbstractButton>(prefix + "StrengthenCheck");
        QVERIFY(!key->isEnabled() && !strengthen->isEnabled());

        custom->click();
        QVERIFY(key->isEnabled() && strengthen->isEnabled());
        // The other modules' boxes are their own.
        for (const QString other : {"file", "dairy", "pwd"})
            QCOMPARE(v.find(other + "KeyEdit")->isEnabled(), other == prefix);
        strengthen->click();
        QVERIFY(strengthen->isChecked());
        QCOMPARE(v.test.prompter().messages.size(), std::size_t(1));
        QCOMPARE(v.test.prompter().lastMessage(),
                 "你选择了加强密钥安全性\r\n注意：密码遗失无法找回，输入密钥不正确则数据无法正常显示，数据可能被覆盖");
        QCOMPARE(v.test.prompter().lastCaption(), QString());
        strengthen->click();
        strengthen->setChecked(true); // as a record load sets it: no warning
        QCOMPARE(v.test.prompter().messages.size(), std::size_t(1));

        strengthen->click();
        custom->click(); // strengthening goes with the custom key
        QVERIFY(!custom->isChecked() && !key->isEnabled() && !strengthen->isEnabled() && !strengthen->isChecked());
    }

    void aRefusedKeyLeavesNothingToSave()
    {
        View v(ModuleKind::File);
        auto* caption = v.find<QLineEdit>("fileCaptionEdit");
        caption->setText("机密");
        v.find<QAbstractButton>("fileKeyCheck")->click();
        v.find<QLineEdit>("fileKeyEdit")->setText("k1");
        QVERIFY(v.view.hasUnsavedChanges(ModuleKind::File));
        QVERIFY(v.view.saveRecord(ModuleKind::File));
        QVERIFY(!v.view.hasUnsavedChanges(ModuleKind::File));

        QSignalSpy status(&v.view, &CTivView::statusMessage);
        v.test.prompter().textAnswers = {QStringLiteral("wrong")};
        v.view.loadRecord(ModuleKind::File);
        QCOMPARE(v.test.prompter().lastMessage(), "你输入的自设密钥不正确！");
        QCOMPARE(status.last().first().toString(), "读取文档出错");
        // The form neither shows the record it showed before nor takes anything to save.
        QCOMPARE(caption->text(), QString());
        QVERIFY(!v.find("filePanel")->isEnabled());
        QVERIFY(!v.view.hasUnsavedChanges(ModuleKind::File));
        QVERIFY(!v.view.saveRecord(ModuleKind::File));
        QCOMPARE(status.last().first().toString(), "修改文档出错");
    }

    void aBodyThatCannotBeReadIsKeptBySaving()
    {
        View v(ModuleKind::Dairy);
        const int id = v.test.state().selection(ModuleKind::Dairy).currentRecordId;
        const QByteArray stored = TextCipher::EncryptBytes(v.test.state().user.dataKey, "plain text, no rtf");
        v.test.db().execute("UPDATE tb_Dairy SET mContent=? WHERE id=?", {stored, id});
        QSignalSpy status(&v.view, &CTivView::statusMessage);
        v.view.loadRecord(ModuleKind::Dairy);
        QCOMPARE(status.last().first().toString(), "读取日记出错");
        QVERIFY(v.editor(ModuleKind::Dairy)->isReadOnly());
        QCOMPARE(v.editor(ModuleKind::Dairy)->placeholderText(), CTivView::kUnreadableBodyText);

        v.find<QLineEdit>("dairyCaptionEdit")->setText("新标题");
        QVERIFY(v.view.saveRecord(ModuleKind::Dairy));
        Recordset row;
        QVERIFY(v.test.db().OpenRecordset(row, "SELECT mContent FROM tb_Dairy WHERE id=?", {id}));
        QCOMPARE(row.field("mContent").blob(), stored);
    }

    void startFillsTheWeatherListAndTheSummary()
    {
        View v;
        v.test.state().user.userName = "张三";
        QSignalSpy status(&v.view, &CTivView::statusMessage);
        v.view.initialUpdate();
        auto* weather = v.find<QComboBox>("weatherCombo");
        QStringList items;
        for (int i = 0; i < weather->count(); ++i)
            items << weather->itemText(i);
        QCOMPARE(items, Schema::defaultWeatherWords());
        QCOMPARE(weather->currentText(), QString());
        QCOMPARE(status.count(), 0);
        QVERIFY(v.find<QLabel>("summaryLabel")->text().startsWith("当前用户：张三，"));
    }

    void aMissingWeatherTableLeavesTheListEmpty()
    {
        View v(ModuleKind::Dairy);
        v.test.db().execute("DROP TABLE tb_Const");
        QSignalSpy status(&v.view, &CTivView::statusMessage);
        v.view.initialUpdate();
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), "读取天气信息失败");
        auto* weather = v.find<QComboBox>("weatherCombo");
        QCOMPARE(weather->count(), 0);
        QTest::keyClicks(weather, "fog");
        QCOMPARE(weather->currentText(), "fog");
        QVERIFY(v.find<QLabel>("summaryLabel")->text().startsWith("当前用户："));
    }

    void barStartsWithItsPresets()
    {
        View v(ModuleKind::File);
        QCOMPARE(v.find<QComboBox>("sizeCombo")->currentText(), "12");
        auto* faces = v.find<QComboBox>("fontCombo");
        QCOMPARE(faces->count(), QFontDatabase::families().size());
        // An empty editor writes in "幼圆", installed or not.
        QCOMPARE(shownIn(faces), "幼圆");
        QVERIFY(v.find<QAbstractButton>("alignLeftButton")->isChecked());
        QCOMPARE(v.editor(ModuleKind::File)->document()->defaultFont().pointSize(), 12);
        QCOMPARE(v.editor(ModuleKind::Dairy)->document()->defaultFont().pointSize(), 12);
    }

    void barActsOnTheEditorOfTheModule_data()
    {
        QTest::addColumn<int>("module");
        QTest::newRow("documents") << int(ModuleKind::File);
        QTest::newRow("diary") << int(ModuleKind::Dairy);
    }

    void barActsOnTheEditorOfTheModule()
    {
        QFETCH(int, module);
        const auto current = static_cast<ModuleKind>(module);
        View v(current);
        QTextEdit* editor = v.editor(current);
        QTextEdit* other = v.editor(current == ModuleKind::File ? ModuleKind::Dairy : ModuleKind::File);
        for (QTextEdit* each : {editor, other}) {
            each->setPlainText("hello world");
            each->selectAll();
        }
        const QString untouched = other->toHtml();
        v.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.view));
        v.find("fileCaptionEdit")->setFocus();

        v.find<QAbstractButton>("boldButton")->click();
        QCOMPARE(formatAt(editor, 11).fontWeight(), int(QFont::Bold));
        QCOMPARE(QApplication::focusWidget(), editor);
        v.find<QAbstractButton>("undoButton")->click(); // one step undoes the whole command
        QCOMPARE(formatAt(editor, 1).fontWeight(), int(QFont::Normal));
        v.find<QAbstractButton>("redoButton")->click();
        editor->selectAll();
        v.find<QAbstractButton>("italicButton")->click();
        v.find<QAbstractButton>("underlineButton")->click();
        QVERIFY(formatAt(editor, 1).fontWeight() == QFont::Bold && formatAt(editor, 1).fontItalic() &&
                formatAt(editor, 1).fontUnderline());
        auto* sizes = v.find<QComboBox>("sizeCombo");
        sizes->setCurrentIndex(sizes->findText("20"));
        Q_EMIT sizes->activated(sizes->currentIndex());
        QCOMPARE(formatAt(editor, 5).fontPointSize(), 20.0);
        auto* faces = v.find<QComboBox>("fontCombo");
        Q_EMIT faces->activated(0);
        QCOMPARE(formatAt(editor, 5).fontFamilies().toStringList().value(0), faces->itemText(0));
        v.find<QAbstractButton>("alignCenterButton")->click();
        QCOMPARE(editor->document()->firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
        QVERIFY(!v.find<QAbstractButton>("alignLeftButton")->isChecked());

        // Without a selection the word at the caret takes the effect.
        v.find<QAbstractButton>("boldButton")->click();
        QTextCursor caret = editor->textCursor();
        caret.setPosition(8);
        editor->setTextCursor(caret);
        v.find<QAbstractButton>("boldButton")->click();
        QVERIFY(formatAt(editor, 7).fontWeight() == QFont::Bold && formatAt(editor, 11).fontWeight() == QFont::Bold);
        QCOMPARE(formatAt(editor, 5).fontWeight(), int(QFont::Normal));
        v.find<QAbstractButton>("undoButton")->click();
        QCOMPARE(formatAt(editor, 7).fontWeight(), int(QFont::Normal));

        QCOMPARE(other->toHtml(), untouched);
    }

    void barIsHiddenAndInertOutsideTheRichTextModules_data()
    {
        QTest::addColumn<int>("module");
        QTest::newRow("password box") << int(ModuleKind::Pwd);
        QTest::newRow("home") << int(ModuleKind::None);
    }

    void barIsHiddenAndInertOutsideTheRichTextModules()
    {
        QFETCH(int, module);
        View v(ModuleKind::File);
        for (ModuleKind each : {ModuleKind::File, ModuleKind::Dairy}) {
            v.editor(each)->setPlainText("hello world");
            v.editor(each)->selectAll();
        }
        const QString file = v.editor(ModuleKind::File)->toHtml();
        const QString diary = v.editor(ModuleKind::Dairy)->toHtml();
        v.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.view));
        v.editor(ModuleKind::File)->setFocus(); // the editor goes, the keys go elsewhere
        v.switchTo(static_cast<ModuleKind>(module));
        QVERIFY(!v.find("formatBar")->isVisible());

        // A dialog opened by mistake is counted and closed, so the test fails instead of hanging.
        int dialogs = 0;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&dialogs] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++dialogs;
                modal->reject();
            }
        });
        closer.start(20);
        for (const QString& name : kBarControls.mid(2))
            v.find<QAbstractButton>(name)->click();
        for (Qt::Key key : {Qt::Key_B, Qt::Key_I, Qt::Key_U}) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : &v.view, key, Qt::ControlModifier);
        }
        Q_EMIT v.find<QComboBox>("sizeCombo")->activated(15);
        Q_EMIT v.find<QComboBox>("fontCombo")->activated(0);
        QCOMPARE(dialogs, 0);
        QVERIFY(!v.find<QMenu>("colorMenu")->isVisible());
        QCOMPARE(v.editor(ModuleKind::File)->toHtml(), file);
        QCOMPARE(v.editor(ModuleKind::Dairy)->toHtml(), diary);
    }

    void colourMenuOffersTheSeventeenColours()
    {
        View v(ModuleKind::Dairy);
        QTextEdit* editor = v.editor(ModuleKind::Dairy);
        editor->setPlainText("彩色");
        editor->selectAll();
        auto* button = v.find("colorButton");
        auto* menu = v.find<QMenu>("colorMenu");
        v.find<QAbstractButton>("colorButton")->click();
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), button->mapToGlobal(QPoint(0, button->height())));
        menu->hide();

        const std::vector<std::pair<QString, QColor>> expected = {
            {"黑色", {0, 0, 0}},       {"深红色", {128, 0, 0}},   {"绿色", {0, 128, 0}},   {"橄榄色", {128, 128, 0}},
            {"藏青色", {0, 0, 128}},   {"紫色", {128, 0, 128}},   {"青色", {0, 128, 128}}, {"灰色", {128, 128, 128}},
            {"银色", {192, 192, 192}}, {"红色", {255, 0, 0}},     {"浅绿色", {0, 255, 0}}, {"黄色", {255, 255, 0}},
            {"蓝色", {0, 0, 255}},     {"艳粉色", {255, 0, 255}}, {"湖蓝", {0, 255, 255}}, {"白色", {255, 255, 255}},
            {"自动", {10, 20, 30}}};
        const QPalette system = QGuiApplication::palette();
        QPalette palette = system;
        palette.setColor(QPalette::WindowText, QColor(10, 20, 30));
        QGuiApplication::setPalette(palette);
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 17);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(actions[int(i)]->text(), expected[i].first);
            actions[int(i)]->trigger();
            QCOMPARE(formatAt(editor, 2).foreground().color(), expected[i].second);
        }
        // "自动" is the colour of the moment it was chosen.
        palette.setColor(QPalette::WindowText, QColor(200, 0, 0));
        QGuiApplication::setPalette(palette);
        QCOMPARE(formatAt(editor, 1).foreground().color(), QColor(10, 20, 30));
        QGuiApplication::setPalette(system);
    }

    void fontDialogAppliesItsChoiceAndKeepsTheColour()
    {
        View v(ModuleKind::File);
        QTextEdit* editor = v.editor(ModuleKind::File);
        editor->setPlainText("字体");
        editor->selectAll();
        v.find<QMenu>("colorMenu")->actions().at(9)->trigger(); // 红色
        ModalDriver driver;
        QFont offered;
        QString bold;
        driver.expect("QFontDialog", [&](QWidget* dialog) {
            auto* fontDialog = static_cast<QFontDialog*>(dialog);
            offered = fontDialog->currentFont();
            // Another face than the one offered, whatever faces the machine has: a choice, not a keep.
            const QStringList families = QFontDatabase::families();
            const auto other = std::find_if(families.begin(), families.end(), [&](const QString& family) {
                return family != offered.family() && QFontDatabase::styles(family).contains("Bold");
            });
            if (other != families.end())
                bold = *other;
            QFont chosen(bold, 20);
            chosen.setBold(true);
            fontDialog->setCurrentFont(chosen);
            fontDialog->accept();
        });
        v.find<QAbstractButton>("fontDialogButton")->click();
        QVERIFY(driver.finished());
        QVERIFY(!bold.isEmpty());
        QCOMPARE(offered.pointSize(), 12);
        const QTextCharFormat format = formatAt(editor, 2);
        QCOMPARE(format.fontPointSize(), 20.0);
        QCOMPARE(format.fontWeight(), int(QFont::Bold));
        QCOMPARE(format.fontFamilies().toStringList().value(0), bold);
        QCOMPARE(format.foreground().color(), QColor(255, 0, 0));
    }

    void contextMenuEntriesFollowTheEditorsState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("empty") << "empty" << QStringList{"全选(&L)", "字体(&F)"};
        QTest::newRow("text on the clipboard") << "clipboard" << QStringList{"粘贴(&P)", "全选(&L)", "字体(&F)"};
        QTest::newRow("selection") << "selection"
                                   << QStringList{"复制(&C)", "剪切(&T)", "清除(&A)", "全选(&L)", "字体(&F)"};
        QTest::newRow("after an edit") << "edit" << QStringList{"撤消(&U)", "全选(&L)", "字体(&F)"};
        QTest::newRow("after an undo") << "undo" << QStringList{"重做(&R)", "全选(&L)", "字体(&F)"};
        QTest::newRow("unreadable body, selected") << "read-only" << QStringList{"复制(&C)", "全选(&L)"};
    }

    void contextMenuEntriesFollowTheEditorsState()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, enabled);
        View v(ModuleKind::File);
        auto* editor = static_cast<CMyRichEdit*>(v.editor(ModuleKind::File));
        QApplication::clipboard()->clear();
        if (state == "clipboard")
            QApplication::clipboard()->setText("剪贴板");
        if (state == "selection" || state == "read-only") {
            editor->setPlainText("选中的文字");
            editor->selectAll();
            editor->setReadOnly(state == "read-only");
        }
        if (state == "edit" || state == "undo")
            QTest::keyClicks(editor, "typed");
        if (state == "undo")
            editor->undo();

        const std::unique_ptr<QMenu> menu(editor->createContextMenu());
        QStringList labels;
        QStringList enabledLabels;
        for (const QAction* action : menu->actions()) {
            labels << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->isEnabled() && !action->isSeparator())
                enabledLabels << action->text().section(u' ', 0, 0);
        }
        QCOMPARE(labels, (QStringList{"撤消(&U)         Ctrl+Shift+Z", "重做(&R)         Ctrl+Y", "-",
                                      "复制(&C)         Ctrl+Shift+C", "剪切(&T)         Ctrl+Shift+X",
                                      "粘贴(&P)         Ctrl+Shift+V", "清除(&A)", "-", "全选(&L)         Ctrl+A", "-",
                                      "字体(&F)"}));
        QCOMPARE(enabledLabels, enabled);
    }

    void contextMenuOpensOnARightPressAndGivesTheFocusBack()
    {
        View v(ModuleKind::File);
        auto* editor = static_cast<CMyRichEdit*>(v.editor(ModuleKind::File));
        editor->setPlainText("清除这些字");
        v.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.view));
        v.find("fileCaptionEdit")->setFocus();

        const QPoint at(30, 20);
        QPoint menuAt;
        bool focused = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            menuAt = menu->pos();
            focused = QApplication::focusWidget() == editor;
            menu->findChild<QAction*>("contextAction10906")->trigger(); // 全选
            menu->close();
        });
        // Through the window, as the window system delivers it: that is where a press becomes a context menu.
        QWindow* window = v.view.windowHandle();
        const QPoint inWindow = editor->viewport()->mapTo(&v.view, at);
        QTest::mousePress(window, Qt::RightButton, {}, inWindow);
        QTest::mouseRelease(window, Qt::RightButton, {}, inWindow);
        QCOMPARE(menuAt, editor->viewport()->mapToGlobal(at));
        QVERIFY(focused);
        QCOMPARE(editor->textCursor().selectedText(), "清除这些字");

        // An entry chosen while another control has the focus gives it back to the editor.
        v.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.view));
        v.find("fileCaptionEdit")->setFocus();
        const std::unique_ptr<QMenu> menu(editor->createContextMenu());
        menu->findChild<QAction*>("contextAction10905")->trigger(); // 清除
        QCOMPARE(editor->toPlainText(), QString());
        QCOMPARE(QApplication::focusWidget(), editor);
    }

    void barShowsTheFormatAtTheCaret()
    {
        View v(ModuleKind::File);
        // "ab" plain, "CD" bold at 20 points, "ef" italic and underlined at 10.5 points in a face this machine
        // lacks; then a centred and a justified paragraph.
        v.showBody(ModuleKind::File, "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Missing Face;}}"
                                     "\\pard ab{\\b\\fs40 CD}{\\f0\\i\\ul\\fs21 ef}\\par"
                                     "\\pard\\qc centred\\par\\pard\\qj justified text\\par}");
        QTextEdit* editor = v.editor(ModuleKind::File);
        const QString defaultFace = TextFormatting::faceOf(TextFormatting::storedAttributes({}, *editor->document()));
        auto* faces = v.find<QComboBox>("fontCombo");
        auto* sizes = v.find<QComboBox>("sizeCombo");
        const QStringList buttons = {"boldButton", "italicButton", "underlineButton"};
        const QStringList alignments = {"alignLeftButton", "alignCenterButton", "alignRightButton"};
        const auto expectBar = [&](const char* step, const QString& face, const QString& size, const QString& effects,
                                   const QString& alignment) {
            QString effectsShown;
            for (const QString& name : buttons)
                effectsShown += v.find<QAbstractButton>(name)->isChecked() ? name.at(0) : u'-';
            QString alignmentShown = "none";
            for (const QString& name : alignments)
                if (v.find<QAbstractButton>(name)->isChecked())
                    alignmentShown = name;
            const QString shown = QStringList{shownIn(faces), shownIn(sizes), effectsShown, alignmentShown}.join(' ');
            const QString expected = QStringList{face, size, effects, alignment}.join(' ');
            QVERIFY2(shown == expected, qPrintable(QString("%1: %2, expected %3").arg(step, shown, expected)));
        };

        QTest::keyClick(editor, Qt::Key_End);
        expectBar("End", "Missing Face", "10.5", "-iu", "alignLeftButton");
        QTest::keyClick(editor, Qt::Key_Left);
        QTest::keyClick(editor, Qt::Key_Left);
        expectBar("Left", defaultFace, "20", "b--", "alignLeftButton");
        QTest::keyClick(editor, Qt::Key_Right);
        expectBar("Right", "Missing Face", "10.5", "-iu", "alignLeftButton");
        QTest::keyClick(editor, Qt::Key_Home);
        expectBar("Home", defaultFace, "12", "---", "alignLeftButton");
        QTest::keyClick(editor, Qt::Key_Right);
        QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier);
        expectBar("selection from 'b'", defaultFace, "12", "---", "alignLeftButton");

        QTextCursor centred(editor->document());
        centred.setPosition(editor->document()->findBlockByNumber(1).position() + 3);
        QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, editor->cursorRect(centred).center());
        QCOMPARE(editor->textCursor().block().blockNumber(), 1);
        expectBar("click", defaultFace, "12", "---", "alignCenterButton");
        QTest::keyClick(editor, Qt::Key_Down);
        expectBar("justified", defaultFace, "12", "---", "none");

        // A change of format without a move of the caret: the bar follows the command and its undo.
        moveCaret(editor, 0, 2);
        v.find<QAbstractButton>("boldButton")->click();
        expectBar("bold", defaultFace, "12", "b--", "alignLeftButton");
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        expectBar("undo", defaultFace, "12", "---", "alignLeftButton");
    }

    void shortcutsActLikeTheButtons_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("effect");
        QTest::newRow("Ctrl+B") << int(Qt::Key_B) << "boldButton" << int(TextFormatting::Effect::Bold);
        QTest::newRow("Ctrl+I") << int(Qt::Key_I) << "italicButton" << int(TextFormatting::Effect::Italic);
        QTest::newRow("Ctrl+U") << int(Qt::Key_U) << "underlineButton" << int(TextFormatting::Effect::Underline);
    }

    void shortcutsActLikeTheButtons()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        QFETCH(int, effect);
        View v(ModuleKind::Dairy);
        QTextEdit* editor = v.editor(ModuleKind::Dairy);
        const auto has = [&](int position) {
            return TextFormatting::hasEffect(formatAt(editor, position), TextFormatting::Effect(effect));
        };
        QTest::keyClicks(editor, "ab");
        QTest::keyClick(editor, Qt::Key(key), Qt::ControlModifier);
        QVERIFY(v.find<QAbstractButton>(button)->isChecked());
        QTest::keyClicks(editor, "cd");
        QTest::keyClick(editor, Qt::Key(key), Qt::ControlModifier);
        QVERIFY(!v.find<QAbstractButton>(button)->isChecked());
        QTest::keyClicks(editor, "e");
        QVERIFY(!has(2) && has(3) && has(4) && !has(5));
        // Inside a word the key changes the whole word, as the button does.
        moveCaret(editor, 1, 1);
        QTest::keyClick(editor, Qt::Key(key), Qt::ControlModifier);
        QVERIFY(has(1) && has(5));
    }

    void barControlsNeverOverlapAtAnyWidth()
    {
        View v(ModuleKind::File);
        auto* bar = v.find("formatBar");
        auto* overflow = v.find<QToolButton>("overflowButton");
        auto* overflowMenu = v.find<QMenu>("overflowMenu");
        for (int width = v.view.minimumWidth(); width <= 700; width += 9) {
            v.view.resize(width, 480);
            QList<QRect> placed;
            for (const QString& name : kBarControls + QStringList{"overflowButton"}) {
                const QWidget* control = v.find(name);
                if (!control->isVisible())
                    continue;
                const QRect rect = control->geometry();
                QVERIFY2(bar->rect().contains(rect), qPrintable(QString("%1 at %2").arg(name).arg(width)));
                for (const QRect& other : placed)
                    QVERIFY2(!rect.intersects(other), qPrintable(QString("%1 at %2").arg(name).arg(width)));
                placed << rect;
            }
            // What the bar cannot show, its overflow menu offers.
            Q_EMIT overflowMenu->aboutToShow();
            int offered = 0;
            for (const QAction* action : overflowMenu->actions())
                offered += action->isSeparator() ? 0 : 1;
            QCOMPARE(placed.size() - (overflow->isVisible() ? 1 : 0) + offered, kBarControls.size());
            QVERIFY(v.find("fontCombo")->isVisible() && v.find("sizeCombo")->isVisible());
        }

        v.view.resize(v.view.minimumWidth(), 480);
        QTextEdit* editor = v.editor(ModuleKind::File);
        editor->setPlainText("粘贴");
        editor->selectAll();
        editor->copy();
        moveCaret(editor, 2, 2);
        Q_EMIT overflowMenu->aboutToShow();
        QAction* paste = overflowMenu->findChild<QAction*>("pasteButtonAction");
        QVERIFY(paste && overflowMenu->actions().contains(paste));
        paste->trigger();
        QCOMPARE(editor->toPlainText(), "粘贴粘贴");
    }

    void aFormattedBodySurvivesSaveAndLoad()
    {
        View v(ModuleKind::File);
        QTextEdit* editor = v.editor(ModuleKind::File);
        editor->insertPlainText("普通 加粗 倾斜 下划线 大字 字体 红色\n居中的段落");
        const auto select = [&](const QString& word) {
            const int at = editor->toPlainText().indexOf(word);
            moveCaret(editor, at, at + int(word.size()));
        };
        select("加粗");
        v.find<QAbstractButton>("boldButton")->click();
        select("倾斜");
        v.find<QAbstractButton>("italicButton")->click();
        select("下划线");
        v.find<QAbstractButton>("underlineButton")->click();
        select("大字");
        auto* sizes = v.find<QComboBox>("sizeCombo");
        Q_EMIT sizes->activated(sizes->findText("20"));
        select("字体");
        auto* faces = v.find<QComboBox>("fontCombo");
        Q_EMIT faces->activated(faces->count() - 1);
        select("红色");
        v.find<QMenu>("colorMenu")->actions().at(9)->trigger();
        select("居中");
        v.find<QAbstractButton>("alignCenterButton")->click();

        const QStringList written = formatsOf(*editor->document());
        const QString defaultFace = TextFormatting::faceOf(TextFormatting::storedAttributes({}, *editor->document()));
        for (const QString& expected : {QStringLiteral("加粗|%1|12|b---").arg(defaultFace), QStringLiteral("|20|----|"),
                                        QStringLiteral("|-i--|"), QStringLiteral("|--u-|"), QStringLiteral("|#ff0000"),
                                        QStringLiteral("字体|%1|").arg(faces->itemText(faces->count() - 1)),
                                        QStringLiteral("paragraph %1").arg(int(Qt::AlignHCenter))})
            QVERIFY2(!written.filter(expected).isEmpty(), qPrintable(expected));
        QVERIFY(v.view.saveRecord(ModuleKind::File));
        editor->clear();
        v.view.loadRecord(ModuleKind::File);
        QCOMPARE(formatsOf(*editor->document()), written);
    }
};

QTEST_MAIN(TivViewTest)
#include "tst_tivview.moc"
