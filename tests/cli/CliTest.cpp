#include "cli/SceneFile.h"
#include "decor/Frame.h"
#include "decor/Rotation.h"
#include "effects/Registry.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quill {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code = -1;
    std::string out, err;
};

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/quill-cli-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    CliRun run(const std::vector<std::string>& args)
    {
        std::string cmd = quote(QUILL_CLI_PATH);
        for (const std::string& a : args) {
            cmd += ' ';
            cmd += quote(a);
        }
        const fs::path out = m_dir / ".stdout", err = m_dir / ".stderr";
        cmd.append(" >").append(quote(out.string())).append(" 2>").append(quote(err.string()));
        CliRun r;
        int status = std::system(cmd.c_str());
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // A small photo-like picture with every byte varying.
    static TBitmap32 sample(int w, int h, int alpha = 255)
    {
        TBitmap32 p(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.setPixel(x, y, makePixel((x * 37 + y * 11) & 255, (x * 5 + y * 29) & 255, (x * y) & 255, alpha));
        return p;
    }

    std::string writeSample(const std::string& name, const TBitmap32& picture)
    {
        const std::string p = path(name);
        EXPECT_TRUE(SavePicture(picture, p, *formatForOutputName(p)).ok);
        return p;
    }

    // Every entry of the folder except the runner's own capture files.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

TEST_F(Cli, InfoPrintsTheSizeAndRefusesUnreadableFiles)
{
    const std::string png = writeSample("a.png", sample(7, 5));
    CliRun ok = run({"info", png});
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.out, "7 5\n");

    const std::string text = path("notes.jpg");
    std::ofstream(text) << "not a picture";
    struct Case {
        std::string file;
    } cases[] = {{text}, {path("missing.jpg")}, {path("x.jpe")}};
    for (const Case& c : cases) {
        CliRun bad = run({"info", c.file});
        EXPECT_EQ(bad.code, 2) << c.file;
        EXPECT_NE(bad.err.find(c.file + " is not a valid format"), std::string::npos) << bad.err;
        EXPECT_TRUE(bad.out.empty());
    }
}

TEST_F(Cli, UsageErrorsExitOneAndWriteNothing)
{
    const std::string in = writeSample("in.png", sample(8, 8));
    struct Case {
        std::vector<std::string> args;
        std::string errorPart;
    } cases[] = {
        {{"nonsense"}, ""},
        {{"convert", in, path("out.xyz")}, "out.xyz"},
        {{"effect", "no-such-effect", in, path("o.png")}, "no-such-effect"},
        {{"effect", "water-color", "--pressure", "10", in, path("o.png")}, "--pressure"},
        {{"effect", "pen-sketch", "--pressure", "12x", in, path("o.png")}, "12x"},
        {{"effect", "pen-sketch", "--pressure", "0x10", in, path("o.png")}, "0x10"},
        {{"effect", "pen-sketch", "--pressure", "300", in, path("o.png")}, "pressure"},
        {{"effect", "realism", "--kernel", "1,2,3", in, path("o.png")}, "kernel"},
        {{"effect", "realism", "--kernel", "1,2,3,4,5,6,7,8,a", in, path("o.png")}, "'a'"},
        {{"effect", "pencil-sketch", "--lighting", "3", "--contrast", "4", in, path("o.png")}, ""},
        {{"rotate", "--angle", "3.0", in, path("o.png")}, "Please input a valid integer value."},
        {{"rotate", "--angle", "3-", in, path("o.png")}, "'3-' is not a valid integer value"},
        {{"rotate", "--angle", "2147483648", in, path("o.png")}, "'2147483648' is not a valid integer value"},
        {{"resize", "--width", "0", "--height", "5", in, path("o.png")}, "positive"},
        {{"background-effect", "texture", in, path("o.png")}, "--tile"},
        {{"background-effect", "texture", "--tile-number", "13", in, path("o.png")}, "tile-number"},
        {{"background-effect", "emboss", "--tile-number", "3", in, path("o.png")}, "only texture"},
    };
    for (const Case& c : cases) {
        CliRun r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.args[0] << " " << c.args[1] << ": " << r.err;
        EXPECT_NE(r.err.find(c.errorPart), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"in.png"});
}

TEST_F(Cli, HelpListsTheOptions)
{
    CliRun r = run({"effect", "--help"});
    EXPECT_EQ(r.code, 0);
    for (const char* option : {"--pressure", "--hollow", "--kernel", "--seed", "--lighting", "--contrast"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST_F(Cli, ConvertKeepsEveryByteInPng)
{
    TBitmap32 picture = sample(9, 4, 0);
    for (int x = 0; x < 9; ++x)
        picture.setPixel(x, 1, makePixel(x, 2 * x, 3 * x, x * 20));
    const std::string in = writeSample("in.png", picture);
    CliRun r = run({"convert", in, path("out.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(LoadPictureFile(path("out.png")).picture, picture);

    CliRun bmp = run({"convert", in, path("out.BMP")});
    ASSERT_EQ(bmp.code, 0) << bmp.err;
    TBitmap32 back = LoadPictureFile(path("out.BMP")).picture;
    ASSERT_EQ(back.width(), 9);
    EXPECT_EQ(back.pixel(3, 1), makePixel(3, 6, 9, 255)); // 24-bit: colour kept, alpha 255
}

TEST_F(Cli, EveryEffectRunsAsTheCoreRunsIt)
{
    TBitmap32 picture = sample(23, 17);
    const std::string in = writeSample("in.png", picture);
    for (const EffectEntry& e : effectTable()) {
        const std::string out = path(e.name + ".png");
        CliRun r = run({"effect", e.name, in, out});
        ASSERT_EQ(r.code, 0) << e.name << ": " << r.err;
        ProgramRandom random(0);
        TBitmap32 expected = e.run(picture, EffectSettings{}, random);
        EXPECT_EQ(LoadPictureFile(out).picture, expected) << e.name;
    }
}

TEST_F(Cli, EffectOptionsReachTheEffect)
{
    TBitmap32 picture = sample(31, 19);
    const std::string in = writeSample("in.png", picture);
    struct Case {
        std::string name;
        std::vector<std::string> options;
        EffectSettings settings;
    } cases[] = {
        {"pen-sketch", {"--pressure", "100", "--hollow"}, {{{"pressure", 100}}, {"hollow"}, {}}},
        {"pen-and-ink", {"--threshold", "90"}, {{{"threshold", 90}}, {}, {}}},
        {"kryptol", {"--direction", "3", "--strokes", "2"}, {{{"direction", 3}, {"strokes", 2}}, {}, {}}},
        {"pencil-sketch", {"--contrast", "60"}, {{{"contrast", 60}}, {}, {}}},
        {"pencil-sketch", {"--lighting", "200"}, {{{"lighting", 200}}, {}, {}}},
        {"realism", {"--kernel", "0,0,0,0,1,0,0,0,-1"}, {{}, {}, Kernel3x3{0, 0, 0, 0, 1, 0, 0, 0, -1}}},
        {"brume", {"--seed", "12345"}, {{{"seed", 12345}}, {}, {}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"effect", c.name};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(in);
        args.push_back(path("out.png"));
        CliRun r = run(args);
        ASSERT_EQ(r.code, 0) << c.name << ": " << r.err;
        const EffectEntry* e = findEffect(c.name);
        ProgramRandom random(0);
        EXPECT_EQ(LoadPictureFile(path("out.png")).picture, e->run(picture, c.settings, random)) << c.name;
    }
}

TEST_F(Cli, RotatePrintsTheGrowthAndTurnsAsTheCommandDoes)
{
    const std::string in = writeSample("in.png", sample(100, 50));
    CliRun r = run({"rotate", "--angle", "90", in, path("out.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "-26 25\n");
    TBitmap32 out = LoadPictureFile(path("out.png")).picture;
    EXPECT_EQ(out.width(), 48);
    EXPECT_EQ(out.height(), 100);
    EXPECT_EQ(out, rotateAboutCentre(sample(100, 50), 90).picture);
}

TEST_F(Cli, ResizeUsesTheTruncatingResampler)
{
    const std::string in = writeSample("in.png", sample(7, 3));
    CliRun r = run({"resize", "--width", "59", "--height", "6", in, path("out.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "58 6\n"); // 7 x (59 / 7) falls a hair short of 59
    EXPECT_EQ(LoadPictureFile(path("out.png")).picture.width(), 58);
}

TEST_F(Cli, FrameWritesTheStretchedOverlayWithAlpha)
{
    TBitmap32 frame(4, 3, makePixel(255, 255, 255));
    frame.setPixel(0, 0, makePixel(0, 0, 0));
    frame.setPixel(1, 0, makePixel(200, 200, 200));
    const std::string in = writeSample("f.png", frame);
    CliRun r = run({"frame", in, "8", "6", path("o.png")});
    ASSERT_EQ(r.code, 0) << r.err;
    TBitmap32 out = LoadPictureFile(path("o.png")).picture;
    EXPECT_EQ(out, makeFrameOverlay(frame, 8, 6));
    EXPECT_EQ(pixelAlpha(out.pixel(0, 0)), 255);
    EXPECT_EQ(pixelAlpha(out.pixel(2, 0)), 110);
    EXPECT_EQ(pixelAlpha(out.pixel(7, 5)), 0);
}

TEST_F(Cli, AFailedWriteExitsThreeAndKeepsTheOldFile)
{
    const std::string in = writeSample("in.png", sample(5, 5));
    CliRun missingFolder = run({"convert", in, path("no/such/folder/out.png")});
    EXPECT_EQ(missingFolder.code, 3);
    EXPECT_NE(missingFolder.err.find("out.png"), std::string::npos) << missingFolder.err;

    if (geteuid() != 0) { // root writes through permissions
        fs::create_directory(m_dir / "locked");
        std::ofstream(m_dir / "locked" / "out.png") << "old";
        fs::permissions(m_dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        CliRun locked = run({"convert", in, path("locked/out.png")});
        EXPECT_EQ(locked.code, 3);
        fs::permissions(m_dir / "locked", fs::perms::owner_all);
        EXPECT_EQ(slurp(m_dir / "locked" / "out.png"), "old");
    }
}

TEST_F(Cli, AnUnreadableInputLeavesTheOutputAlone)
{
    std::ofstream(path("out.png")) << "previous";
    CliRun r = run({"effect", "sharpen", path("missing.png"), path("out.png")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(slurp(m_dir / "out.png"), "previous");
}

} // namespace
} // namespace quill
