// The main dialog on the headless window layer: start-up, the log, the system menu, painting
// and the dispatch boundary.
#include "support/TestSupport.h"

#include "app/AboutDlg.h"
#include "app/LogFormats.h"
#include "platform/headless/HeadlessWindow.h"
#include "res/resource.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(DialogStart, ShowsOneNumberedLineAndAnEmptyCompanyListWithItsColumns) {
    DialogFixture f;
    EXPECT_EQ(f.Log(), std::vector<std::string>{"001 Klicka Starta för att påbörja konverteringen"});
    EXPECT_EQ(f.dlg->m_msgNo, 2);
    EXPECT_EQ(f.dlg->m_companyList.GetItemCount(), 0);
    ASSERT_EQ(f.dlg->m_companyList.GetColumnCount(), 3);
    EXPECT_EQ(f.dlg->m_companyList.GetColumnHeading(0).ToUtf8(), "Nummer");
    EXPECT_EQ(f.dlg->m_companyList.GetColumnHeading(1).ToUtf8(), "Namn");
    EXPECT_EQ(f.dlg->m_companyList.GetColumnHeading(2).ToUtf8(), "FileDSN");
    EXPECT_EQ(f.dlg->m_companyList.GetColumnWidth(0), 80);
    EXPECT_EQ(f.dlg->m_companyList.GetColumnWidth(2), 800);
    EXPECT_EQ(f.dlg->m_logList.GetColumnHeading(0).ToUtf8(), "Info");
    EXPECT_EQ(f.dlg->m_logList.GetColumnWidth(0), 2000);
    EXPECT_EQ(f.dlg->m_companyList.GetSelectionMark(), -1);
    EXPECT_FALSE(f.dlg->m_trustedConnection);
    EXPECT_EQ(f.dlg->m_driverKind, 0);
    EXPECT_NE(f.dlg->m_hIcon, nullptr);
    EXPECT_EQ(f.dlg->m_dialogImpl->bigIcon, f.dlg->m_hIcon);
    EXPECT_EQ(f.dlg->m_dialogImpl->smallIcon, f.dlg->m_hIcon);
}

TEST(DialogStart, SystemMenuEndsWithASeparatorTheAboutItemAndTheWayBack) {
    DialogFixture f;
    const auto& items = f.dlg->GetSystemMenu(false)->m_impl->items;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].flags, wnd::kMfSeparator);
    EXPECT_EQ(items[1].id, static_cast<unsigned>(IDM_ABOUTBOX));
    EXPECT_EQ(items[1].text.ToUtf8(), "&About Daltrix...");
    EXPECT_EQ(items[2].id, static_cast<unsigned>(IDM_RESTORE));
    EXPECT_EQ(items[2].text.ToUtf8(), "Återställ tqsys.dsn från tqsys.bak...");
}

TEST(DialogSystemMenu, EveryIdFrom16To31OpensTheAboutBoxAndOthersGoToTheFramework) {
    DialogFixture f;
    headless::SysCommand(*f.dlg, 0x10);
    headless::SysCommand(*f.dlg, 0x1F);
    EXPECT_EQ(headless::TheScreen().modalTemplates, (std::vector<unsigned>{IDD_ABOUTBOX, IDD_ABOUTBOX}));
    MessageArgs close;
    close.id = 0xF060;  // SC_CLOSE
    EXPECT_FALSE(f.dlg->Dispatch(wnd::kWmSysCommand, 0, 0, close)) << "must reach the framework's default";
    EXPECT_EQ(headless::TheScreen().modalTemplates.size(), 2u);
    EXPECT_EQ(f.Log().size(), 1u) << "the About box leaves the dialog unchanged";
}

TEST(DialogPaint, AMinimisedDialogDrawsItsIconCentredAndOtherwiseTheFrameworkPaints) {
    DialogFixture f;
    EXPECT_FALSE(f.dlg->Dispatch(wnd::kWmPaint, 0, 0, MessageArgs{}));
    EXPECT_TRUE(f.dlg->m_dialogImpl->drawnIcons.empty());

    f.dlg->m_dialogImpl->iconic = true;
    f.dlg->m_dialogImpl->client = CRect{0, 0, 37, 28};
    EXPECT_TRUE(f.dlg->Dispatch(wnd::kWmPaint, 0, 0, MessageArgs{}));
    ASSERT_EQ(f.dlg->m_dialogImpl->drawnIcons.size(), 1u);
    EXPECT_EQ(f.dlg->m_dialogImpl->iconBackgroundErasures, 1);
    // (37 - 32 + 1) / 2 = 3 and (28 - 32 + 1) / 2 = -1: division truncates towards zero.
    EXPECT_EQ(f.dlg->m_dialogImpl->drawnIcons[0].x, 3);
    EXPECT_EQ(f.dlg->m_dialogImpl->drawnIcons[0].y, -1);
    EXPECT_EQ(f.dlg->m_dialogImpl->drawnIcons[0].icon, f.dlg->m_hIcon);

    LRESULT dragIcon = 0;
    MessageArgs args;
    args.result = &dragIcon;
    EXPECT_TRUE(f.dlg->Dispatch(wnd::kWmQueryDragIcon, 0, 0, args));
    EXPECT_EQ(reinterpret_cast<IconHandle>(dragIcon), f.dlg->m_hIcon);
}

TEST(DialogButtons, EnterRunsStartWithoutClosingAndCancelEndsTheDialog) {
    DialogFixture f;
    headless::Click(*f.dlg, wnd::kIdOk);
    EXPECT_FALSE(f.dlg->m_dialogImpl->ended);
    EXPECT_GT(f.Log().size(), 1u) << "Starta's handler ran";
    headless::Click(*f.dlg, wnd::kIdCancel);
    EXPECT_TRUE(f.dlg->m_dialogImpl->ended);
    EXPECT_EQ(f.dlg->m_dialogImpl->endCode, wnd::kIdCancel);
}

TEST(AboutBox, ItsOkButtonEndsIt) {
    headless::TheScreen() = {};
    CAboutDlg about;
    headless::Open(about);
    headless::Click(about, wnd::kIdOk);
    EXPECT_TRUE(about.m_dialogImpl->ended);
    EXPECT_EQ(about.m_dialogImpl->endCode, wnd::kIdOk);
}

TEST(ProgressLog, EveryLineTakesTheNextNumberAndStaysInWritingOrderPast999) {
    DialogFixture f;
    for (int i = 2; i <= 1205; ++i)
        f.dlg->AddLog(logfmt::kDsnIs, {CString::FromUtf8(std::to_string(i))});
    const auto lines = f.Log();
    ASSERT_EQ(lines.size(), 1205u);
    EXPECT_EQ(lines[98], "099 DSN är 99");
    EXPECT_EQ(lines[99], "100 DSN är 100");
    EXPECT_EQ(lines[100], "101 DSN är 101");
    EXPECT_EQ(lines[998], "999 DSN är 999");
    EXPECT_EQ(lines[999], "1000 DSN är 1000");
    EXPECT_EQ(lines.back(), "1205 DSN är 1205");
    EXPECT_EQ(f.dlg->m_msgNo, 1206);
    EXPECT_EQ(f.dlg->m_logList.m_impl->lastEnsured, 1204) << "the newest line is the one made visible";
    // Written in one burst: the first line painted at once, the rest held back until the
    // handler that writes them returns.
    EXPECT_EQ(f.dlg->m_logList.m_impl->repaints, 1);
    EXPECT_TRUE(f.dlg->m_logList.m_impl->held);
    headless::Click(*f.dlg, IDC_START);
    EXPECT_FALSE(f.dlg->m_logList.m_impl->held) << "the handler's return lets the list paint";
    EXPECT_EQ(f.dlg->m_logList.m_impl->repaints, 2);
}

TEST(ProgressLog, AHeldLogIsPaintedBeforeAConnectionThatMayPromptOpens) {
    DialogFixture f;
    f.dlg->AddLog(logfmt::kStarting);
    f.dlg->AddLog(logfmt::kMayNeedLogin);
    ASSERT_TRUE(f.dlg->m_logList.m_impl->held);
    CDatabase db;
    f.dlg->PrepareLoginPrompt(db);
    EXPECT_FALSE(f.dlg->m_logList.m_impl->held);
    EXPECT_EQ(f.dlg->m_logList.m_impl->repaints, 2);
}

TEST(ProgressLog, AnEmptyValueStillGivesTheNumberAndTheRestOfTheLine) {
    DialogFixture f;
    f.dlg->AddLog(logfmt::kCannotInsertCompany, {CString(), CString(), CString(), CString(u"fel")});
    EXPECT_EQ(f.Log().back(), "002 Kunde inte uppdatera företagslistan: , ,  fel");
}

TEST(ProgressLog, CtrlASelectsEveryLineAndCtrlCCopiesTheSelectedOnes) {
    DialogFixture f;
    f.dlg->AddLog(logfmt::kMayNeedLogin);
    headless::KeyDown(*f.dlg, IDC_LOG_LIST, 'C', true);
    EXPECT_TRUE(headless::TheScreen().clipboard.IsEmpty()) << "nothing selected, nothing copied";
    headless::KeyDown(*f.dlg, IDC_LOG_LIST, 'A', false);
    EXPECT_TRUE(f.dlg->m_logList.GetSelectedItems().empty());
    headless::KeyDown(*f.dlg, IDC_LOG_LIST, 'A', true);
    headless::KeyDown(*f.dlg, IDC_LOG_LIST, 'C', true);
    EXPECT_EQ(headless::TheScreen().clipboard.ToUtf8(),
              "001 Klicka Starta för att påbörja konverteringen\r\n002 Du kan eventuellt behöva logga in.\r\n");
}

TEST(ProgressLog, ARightClickOffersKopieraForTheSelectedLinesAndMarkeraAllt) {
    DialogFixture f;
    f.dlg->AddLog(logfmt::kMayNeedLogin);
    f.dlg->AddLog(logfmt::kServerIs, {u"S1"});
    const auto& menus = headless::TheScreen().menus;

    // Nothing selected: "Kopiera" is greyed and cannot be chosen.
    headless::ContextMenu(*f.dlg, IDC_LOG_LIST, CPoint{40, 60}, IDM_LOG_COPY);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].at.x, 40);
    EXPECT_EQ(menus[0].at.y, 60);
    ASSERT_EQ(menus[0].items.size(), 2u);
    EXPECT_EQ(menus[0].items[0].text.ToUtf8(), "Kopiera");
    EXPECT_EQ(menus[0].items[0].id, static_cast<unsigned>(IDM_LOG_COPY));
    EXPECT_NE(menus[0].items[0].flags & wnd::kMfGrayed, 0u);
    EXPECT_EQ(menus[0].items[1].text.ToUtf8(), "Markera allt");
    EXPECT_EQ(menus[0].items[1].flags & wnd::kMfGrayed, 0u);
    EXPECT_TRUE(headless::TheScreen().clipboard.IsEmpty());

    // The right-click selected line(s) only.
    headless::SelectRow(f.dlg->m_logList, 1);
    headless::ContextMenu(*f.dlg, IDC_LOG_LIST, CPoint{40, 60}, IDM_LOG_COPY);
    EXPECT_EQ(menus.back().items[0].flags & wnd::kMfGrayed, 0u);
    EXPECT_EQ(headless::TheScreen().clipboard.ToUtf8(), "002 Du kan eventuellt behöva logga in.\r\n");

    headless::ContextMenu(*f.dlg, IDC_LOG_LIST, CPoint{40, 60}, IDM_LOG_SELECT_ALL);
    EXPECT_EQ(f.dlg->m_logList.GetSelectedItems(), (std::vector<int>{0, 1, 2}));
    headless::ContextMenu(*f.dlg, IDC_LOG_LIST, CPoint{40, 60}, IDM_LOG_COPY);
    EXPECT_EQ(headless::TheScreen().clipboard.ToUtf8(),
              "001 Klicka Starta för att påbörja konverteringen\r\n002 Du kan eventuellt behöva logga in.\r\n"
              "003 Server är S1\r\n");

    // Dismissed: nothing changes.
    headless::TheScreen().clipboard = CString();
    headless::ContextMenu(*f.dlg, IDC_LOG_LIST, CPoint{40, 60}, 0);
    EXPECT_TRUE(headless::TheScreen().clipboard.IsEmpty());
    EXPECT_EQ(menus.size(), 5u);

    // The company list has no menu of its own.
    headless::ContextMenu(*f.dlg, IDC_COMPANY_LIST, CPoint{40, 300}, IDM_LOG_SELECT_ALL);
    EXPECT_EQ(menus.size(), 5u);
}

TEST(ProgressLog, ALineWithALineBreakInsideIsCopiedAsOneLine) {
    DialogFixture f;
    f.dlg->AddLog(logfmt::kCannotOpenDbWithError, {u"Login failed.\r\nSecond record"});
    headless::SelectRow(f.dlg->m_logList, 1);
    headless::KeyDown(*f.dlg, IDC_LOG_LIST, 'C', true);
    EXPECT_EQ(headless::TheScreen().clipboard.ToUtf8(),
              "002 Kunde inte öppna databasen: Login failed. Second record\r\n");
}

class ThrowingDialog : public CDaltrixDlg {
    const MessageMap& GetMessageMap() const override {
        static const MessageMap map{{wnd::kWmCommand, IDC_START, wnd::kBnClicked, [](CDialogEx& d, const MessageArgs&) {
                                         static_cast<CDaltrixDlg&>(d).AddLog(logfmt::kStarting);
                                         ThrowDBException({{u"HY000", u"no such table: TQ_FORETAG (1)", 1}});
                                     }}};
        return map;
    }
};

TEST(DispatchBoundary, AnExceptionLeavingAHandlerIsShownAndTheDialogGoesOn) {
    headless::TheScreen() = {};
    const ProgramFolder program;
    ThrowingDialog dlg;
    headless::Open(dlg);
    headless::Click(dlg, IDC_START);
    headless::Click(dlg, IDC_START);
    EXPECT_EQ(headless::TheScreen().stopMessages.size(), 2u);
    EXPECT_EQ(headless::TheScreen().stopMessages[0].ToUtf8(), "no such table: TQ_FORETAG (1)");
    EXPECT_EQ(headless::ItemTexts(dlg.m_logList).size(), 3u) << "the handler ran both times";
    EXPECT_FALSE(dlg.m_dialogImpl->ended);
}

}  // namespace
