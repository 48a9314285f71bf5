// Printing an image: the page layout options of a job, the print panel request, what the shared print settings
// keep, refusals, and a real job through a local CUPS server with a PDF printer.

#include "meta/ImageFixtures.h"

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "meta/PrintService.h"
#include "meta/cPrint.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <chrono>
#include <gtest/gtest.h>
#include <pwd.h>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

// Panels that record what they were asked and answer the print panel as told.
class RecordingPanels final : public Panels {
public:
    std::optional<std::vector<std::string>> runOpen(OpenPanelRequest const&) override { return std::nullopt; }
    std::optional<std::string> runSave(SavePanelRequest const&) override { return std::nullopt; }
    std::optional<Dictionary> runPrint(Dictionary const& settings) override
    {
        requests.push_back(settings);
        return answer;
    }
    void alert(std::string const& title, std::string const& message) override { alerts.push_back(title + ": " + message); }

    std::vector<Dictionary> requests;
    std::vector<std::string> alerts;
    std::optional<Dictionary> answer;
};

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerNativeClasses(runtime);
        auto recording = std::make_unique<RecordingPanels>();
        panels = recording.get();
        runtime.platform().setPanels(std::move(recording));
    }

    TempDir dir;
    Platform platform;
    Runtime runtime { platform };
    RecordingPanels* panels = nullptr;
};

std::string optionsText(PrintOptions const& options)
{
    std::string out;
    for (auto const& [name, value] : options)
        out += name + "=" + value + " ";
    return out;
}

bool cupsAvailable(std::string& why)
{
    auto r = runCommand("bash " + shellQuoted(std::string(QUODRIX_SOURCE_DIR) + "/tests/meta/start-cups.sh"));
    why = r.err;
    return r.status == 0;
}

}

TEST(PrintOptions, CarryThePageLayout)
{
    PrintInfo info;
    EXPECT_EQ(optionsText(jobOptions(info, 1)), "position=top-left page-top=72 page-bottom=72 page-left=72 page-right=72 ");
    info.horizontalPagination = info.verticalPagination = Pagination::Fit;
    info.topMargin = info.bottomMargin = info.leftMargin = info.rightMargin = 0.0;
    info.horizontallyCentered = info.verticallyCentered = true;
    EXPECT_EQ(optionsText(jobOptions(info, 1)),
        "fit-to-page=true print-scaling=fit position=center page-top=0 page-bottom=0 page-left=0 page-right=0 ");
    info.paperName = "A4";
    info.orientation = "landscape";
    info.verticallyCentered = false;
    EXPECT_EQ(optionsText(jobOptions(info, 2)),
        "fit-to-page=true print-scaling=fit position=top page-top=0 page-bottom=0 page-left=0 page-right=0 media=A4 "
        "orientation-requested=4 copies=2 ");
}

TEST_F(PrintTest, PathThatIsNotAnImageIsRefusedBeforeThePanel)
{
    writeFile(dir / "text.jpg", "not an image\n");
    for (std::string path : { (dir / "text.jpg").string(), (dir / "missing.png").string() }) {
        auto result = cPrint::printService(runtime, path);
        EXPECT_EQ(result.outcome, PrintOutcome::NotAnImage) << path;
    }
    EXPECT_TRUE(panels->requests.empty());
    EXPECT_EQ(panels->alerts, (std::vector<std::string> { "Print: \"text.jpg\" is not an image that can be printed.",
                                  "Print: \"missing.png\" is not an image that can be printed." }));
}

TEST_F(PrintTest, ImageTheFiltersCannotRenderIsRefused)
{
    ASSERT_TRUE(convert("-size 30x20 xc:red " + shellQuoted((dir / "w.webp").string())));
    EXPECT_EQ(cPrint::printService(runtime, (dir / "w.webp").string()).outcome, PrintOutcome::NotAnImage);
    EXPECT_TRUE(panels->requests.empty());
    EXPECT_EQ(panels->alerts, (std::vector<std::string> {
        "Print: \"w.webp\" is not in a format that the print system can print (JPEG, PNG, TIFF or GIF)." }));
    for (char const* name : { "a.jpg", "a.png", "a.tif", "a.gif" }) {
        ASSERT_TRUE(convert("-size 30x20 xc:red " + shellQuoted((dir / name).string())));
        EXPECT_EQ(cPrint::printService(runtime, (dir / name).string()).outcome, PrintOutcome::Cancelled) << name;
    }
    EXPECT_EQ(panels->requests.size(), 4u);
}

TEST_F(PrintTest, PanelOffersPageSetupAndSettingsStayForLaterJobs)
{
    ASSERT_TRUE(convert("-size 3000x2000 gradient:red-blue " + shellQuoted((dir / "big.jpg").string())));
    auto result = cPrint::printService(runtime, (dir / "big.jpg").string());  // the user cancels
    EXPECT_EQ(result.outcome, PrintOutcome::Cancelled);
    ASSERT_EQ(panels->requests.size(), 1u);
    auto const& request = panels->requests[0];
    EXPECT_EQ(request.at("horizontalPagination"), Value(1));
    EXPECT_EQ(request.at("verticalPagination"), Value(1));
    for (char const* margin : { "topMargin", "bottomMargin", "leftMargin", "rightMargin" })
        EXPECT_EQ(request.at(margin), Value(0.0)) << margin;
    EXPECT_EQ(request.at("horizontallyCentered"), Value(true));
    EXPECT_EQ(request.at("verticallyCentered"), Value(true));
    EXPECT_EQ(request.at("imageSize"), Value(Array { Value(3000), Value(2000) }));
    EXPECT_EQ(request.at("file"), Value((dir / "big.jpg").string()));
    EXPECT_TRUE(panels->alerts.empty());

    // The settings stay for later jobs (the options word and the shared settings as scripts see them are in
    // MetaCommandsTest.cpp).
    PrintInfo const& info = runtime.platform().printInfo();
    EXPECT_EQ(optionsText(jobOptions(info, 1)),
        "fit-to-page=true print-scaling=fit position=center page-top=0 page-bottom=0 page-left=0 page-right=0 ");
}

TEST_F(PrintTest, UnknownPrinterIsToldNotSubmitted)
{
    ASSERT_TRUE(convert("-size 30x20 xc:red " + shellQuoted((dir / "a.png").string())));
    panels->answer = Dictionary { { "printer", Value("NoSuchPrinter") } };
    auto result = cPrint::printService(runtime, (dir / "a.png").string());
    EXPECT_EQ(result.outcome, PrintOutcome::NoPrinter);
    EXPECT_EQ(panels->alerts, (std::vector<std::string> { "Print: The printer \"NoSuchPrinter\" is not available." }));
}

// Printers there are, but none was chosen and none is the default: the alert names them.
TEST_F(PrintTest, WithoutADefaultPrinterTheAlertNamesThePrinters)
{
    std::string why;
    if (!cupsAvailable(why))
        GTEST_SKIP() << "a local CUPS server cannot run here: " << why;
    if (PrintService::defaultPrinter())
        GTEST_SKIP() << "the CUPS server here has a default printer";
    auto const known = PrintService::printers();
    ASSERT_NE(std::find(known.begin(), known.end(), "PDF"), known.end());
    ASSERT_TRUE(convert("-size 30x20 xc:red " + shellQuoted((dir / "a.png").string())));
    panels->answer = Dictionary {};
    auto result = cPrint::printService(runtime, (dir / "a.png").string());
    EXPECT_EQ(result.outcome, PrintOutcome::NoPrinter);
    ASSERT_EQ(panels->alerts.size(), 1u);
    std::string const start = "Print: No printer was chosen, and there is no default printer (printers: ";
    EXPECT_EQ(panels->alerts[0].rfind(start, 0), 0u) << panels->alerts[0];
    EXPECT_NE(panels->alerts[0].find("PDF"), std::string::npos) << panels->alerts[0];
}

TEST_F(PrintTest, LargeImagePrintsOnOnePageOfARealPdfPrinter)
{
    std::string why;
    if (!cupsAvailable(why))
        GTEST_SKIP() << "a local CUPS server cannot run here: " << why;
    ASSERT_TRUE(convert("-size 4000x3000 gradient:red-blue " + shellQuoted((dir / "large.jpg").string())));
    panels->answer = Dictionary { { "printer", Value("PDF") }, { "paperName", Value("A4") }, { "orientation", Value("portrait") } };
    auto result = cPrint::printService(runtime, (dir / "large.jpg").string());
    ASSERT_EQ(result.outcome, PrintOutcome::Printed) << (panels->alerts.empty() ? "" : panels->alerts[0]);
    EXPECT_GT(result.jobId, 0);
    EXPECT_EQ(runtime.platform().printInfo().printer, "PDF");
    EXPECT_EQ(runtime.platform().printInfo().paperName, "A4");

    // The job completes; cups-pdf writes its PDF into the submitting user's home folder.
    std::string id = "PDF-" + std::to_string(result.jobId) + " ";
    bool done = false;
    for (int i = 0; i < 300 && !done; ++i) {
        done = runCommand("lpstat -W completed -o PDF").out.find(id) != std::string::npos;
        if (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(done) << "job " << result.jobId << " did not complete";
    passwd const* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    std::filesystem::path outbox = std::filesystem::path(user->pw_dir) / "PDF";
    std::string suffix = "job_" + std::to_string(result.jobId) + ".pdf";
    std::filesystem::path pdf;
    for (int i = 0; i < 100 && pdf.empty(); ++i) {
        std::error_code ec;
        for (auto const& entry : std::filesystem::directory_iterator(outbox, ec)) {
            std::string name = entry.path().filename().string();
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                pdf = entry.path();
        }
        if (pdf.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(pdf.empty()) << "no PDF of job " << result.jobId << " in " << outbox;
    std::string contents = readFile(pdf);
    EXPECT_EQ(contents.substr(0, 5), "%PDF-");
    // One page.
    std::regex page(R"(/Type\s*/Page[^s])");
    EXPECT_EQ(std::distance(std::sregex_iterator(contents.begin(), contents.end(), page), std::sregex_iterator()), 1);
    std::filesystem::remove(pdf);
}
