// The Lock and Unlock dialogs and the password store behind them.
#include "support/PanelTestSupport.h"

#include "dialogkit/ControlIds.h"
#include "dialogs/LockDlg.h"
#include "dialogs/PasswordStore.h"
#include "dialogs/UnlockDlg.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <sys/stat.h>

namespace {

using panel_test::Msg;
using panel_test::RecordedMessage;

const RecordedMessage kDifferent = Msg("The 1st and 2nd Enter is different", "Warning");
const RecordedMessage kSaveFail = Msg("Save PassWord Fail");
const RecordedMessage kPasswordError = Msg("Password Error");

// The file's permission bits as the system stores them.
unsigned ModeBits(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777u : 0xFFFFu;
}

class LockTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { panel_test::EnsureApplication(); }

    QString StoreFile() const { return CPasswordStore::DefaultFileName(); }

    // Runs the Lock dialog's OK with the two entries; true when it closed.
    bool Lock(CLockDlg& dlg, const QString& first, const QString& second)
    {
        dlg.OnInitDialog();
        dlg.SetDlgItemText(IDC_EDIT_PASSWORD1, first);
        dlg.SetDlgItemText(IDC_EDIT_PASSWORD2, second);
        dlg.OnOK();
        return dlg.result() == IDC_OK;
    }
    bool Unlock(const QString& password, const QString& entry)
    {
        CUnlockDlg dlg;
        dlg.m_password = password;
        dlg.OnInitDialog();
        dlg.SetDlgItemText(IDC_EDIT_UNLOCK, entry);
        dlg.OnOK();
        return dlg.result() == IDC_OK;
    }

    panel_test::TempConfigHome m_config;
    panel_test::MessageBoxRecorder m_messages;
};

TEST_F(LockTest, StoreLivesUnderTheConfigurationDirectory)
{
    EXPECT_EQ(StoreFile(), m_config.Path() + "/Vemra/TalvexPanel.ini");
    EXPECT_EQ(CPasswordStore().Read(), "");  // nothing stored yet: no password
    EXPECT_FALSE(QFile::exists(StoreFile()));
}

TEST_F(LockTest, EntriesStartWithTheCurrentPasswordMasked)
{
    CLockDlg dlg;
    dlg.m_password = "current";
    dlg.OnInitDialog();
    for (int id : {IDC_EDIT_PASSWORD1, IDC_EDIT_PASSWORD2}) {
        auto* edit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(id));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "current");
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    }
    CUnlockDlg unlock;
    unlock.m_password = "current";
    unlock.OnInitDialog();
    auto* entry = qobject_cast<QLineEdit*>(unlock.GetDlgItem(IDC_EDIT_UNLOCK));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "");  // never prefilled
    EXPECT_EQ(entry->echoMode(), QLineEdit::Password);
}

TEST_F(LockTest, DifferentEntriesWarnWriteNothingAndStayOpen)
{
    CLockDlg dlg;
    dlg.m_password = "old";
    EXPECT_FALSE(Lock(dlg, "abc", "abd"));
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kDifferent});
    EXPECT_EQ(dlg.m_password, "old");
    EXPECT_FALSE(QFile::exists(StoreFile()));
}

TEST_F(LockTest, OnlyTheFirstFifteenCharactersCount)
{
    const QString fifteen = "ABCDEFGHIJKLMNO";
    CLockDlg dlg;
    // Agreeing in the first 15 characters is agreeing.
    EXPECT_TRUE(Lock(dlg, fifteen + "PQ", fifteen + "xyz"));
    EXPECT_EQ(dlg.m_password, fifteen);
    EXPECT_EQ(CPasswordStore().Read(), fifteen);

    EXPECT_TRUE(Unlock(dlg.m_password, fifteen));
    EXPECT_FALSE(Unlock(dlg.m_password, fifteen + "PQ"));
    EXPECT_FALSE(Unlock(dlg.m_password, fifteen.left(14)));
    EXPECT_EQ(m_messages.Messages(), (std::vector<RecordedMessage>{kPasswordError, kPasswordError}));
}

TEST_F(LockTest, CharactersOutsideTheBasicPlaneAreNotCutInHalf)
{
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");  // two UTF-16 units
    QString entry;
    for (int i = 0; i < 16; ++i) {
        entry += clef;
    }
    const QString limited = CLockDlg::LimitEntry(entry);
    EXPECT_EQ(limited.size(), 30);
    EXPECT_EQ(limited.toUcs4().size(), 15);
}

TEST_F(LockTest, UnlockIsExactAndCaseSensitive)
{
    EXPECT_TRUE(Unlock("Secret", "Secret"));
    EXPECT_FALSE(Unlock("Secret", "secret"));
    EXPECT_FALSE(Unlock("Secret", "SECRET"));
    EXPECT_FALSE(Unlock("Secret", "Secret "));
    EXPECT_FALSE(Unlock("Secret", ""));
    EXPECT_EQ(m_messages.Messages().size(), 4u);
}

TEST_F(LockTest, StoreFileIsOwnerOnly)
{
    CLockDlg dlg;
    ASSERT_TRUE(Lock(dlg, "pw", "pw"));
    EXPECT_EQ(ModeBits(StoreFile()), 0600u);

    // A file left readable by others is narrowed on the next save.
    ASSERT_EQ(::chmod(QFile::encodeName(StoreFile()).constData(), 0644), 0);
    ASSERT_TRUE(CPasswordStore().Write("pw2"));
    EXPECT_EQ(ModeBits(StoreFile()), 0600u);
    EXPECT_EQ(CPasswordStore().Read(), "pw2");
}

TEST_F(LockTest, UnwritableStoreReportsSaveFailAndChangesNothing)
{
    // A regular file where the store's directory should be.
    QFile blocker(m_config.Path() + "/Vemra");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    CLockDlg dlg;
    dlg.m_password = "old";
    EXPECT_FALSE(Lock(dlg, "new", "new"));
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kSaveFail});
    EXPECT_EQ(dlg.m_password, "old");
}

TEST_F(LockTest, PasswordsComeBackExactlyAsWritten)
{
    // Texts a settings file might otherwise quote, escape or reinterpret.
    const QString passwords[] = {"@Invalid()",     "@@x",   "a;b=c",    " lead",
                                 "trail ",         "\"q\"", "x\\y",     "P\u00e4ssw\u00f6rd",
                                 "#not a comment", "a,b",   "[General]"};
    for (const QString& password : passwords) {
        SCOPED_TRACE(password.toStdString());
        ASSERT_TRUE(CPasswordStore().Write(password));
        EXPECT_EQ(CPasswordStore().Read(), password);
    }
}

TEST_F(LockTest, UnreadableOrForeignStoreMeansNoPassword)
{
    ASSERT_TRUE(QDir().mkpath(m_config.Path() + "/Vemra"));
    QFile file(StoreFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Other]\nkey=value\n");
    file.close();
    EXPECT_EQ(CPasswordStore().Read(), "");
}

}  // namespace
