#include "cli/Cli.h"

#include "collections/AlbumFile.h"
#include "decor/Frame.h"
#include "decor/MaskLibrary.h"
#include "decor/Rotation.h"
#include "decor/Texture.h"
#include "imaging/Folders.h"
#include "imaging/IntegerText.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureFile.h"
#include "workspace/Document.h"
#include "workspace/EffectCatalogue.h"
#include "workspace/SceneDescription.h"
#include "workspace/SceneFile.h"

#ifdef QUILL_HAVE_PLAYER
#include "albumplayer/PlayerBytes.h"
#endif

#include <CLI/CLI.hpp>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <map>
#include <span>
#include <stdexcept>

namespace quill {
namespace {

// A failure that ends the command with an exit status and a message for stderr.
struct CommandFailure {
    int exitCode;
    std::string message;
};

[[noreturn]] void usage(const std::string& message) {
    throw CommandFailure{kExitUsage, message};
}
[[noreturn]] void badInput(const std::string& message) {
    throw CommandFailure{kExitBadInput, message};
}

std::int32_t decimal(const std::string& text, const std::string& what) {
    std::optional<std::int32_t> v = StrToInt32(text);
    if (!v)
        usage(what + ": '" + text + "' is not a decimal integer");
    return *v;
}

// An effect option's number: any decimal integer within 64 bits, then the option's own
// range decides (a seed takes every 32-bit unsigned value, beyond a signed 32-bit parse).
std::int64_t effectInteger(const std::string& text, const EffectParameter& option) {
    const std::string what = "--" + option.name;
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (stop != end || (error != std::errc() && error != std::errc::result_out_of_range))
        usage(what + ": '" + text + "' is not a decimal integer");
    if (error != std::errc() || value < option.minimum || value > option.maximum)
        usage(what + ": " + text + " is outside " + std::to_string(option.minimum) + " .. " +
              std::to_string(option.maximum));
    return value;
}

// The output form, checked before any work so that a bad name fails at once.
PictureFormat outputFormat(const std::string& path) {
    std::optional<PictureFormat> f = formatForOutputName(path);
    if (!f)
        usage(path + ": the output name must end in .png, .bmp, .jpg, .jpeg, .emf or .wmf");
    return *f;
}

TBitmap32 readInput(const std::string& path, bool keepAlpha = false) {
    InputPicture in = readInputPicture(path, keepAlpha);
    if (in.picture.empty())
        badInput(in.message);
    return std::move(in.picture);
}

void writeOutput(const TBitmap32& picture, const std::string& path, PictureFormat format) {
    WriteResult w = SavePicture(picture, path, format);
    if (!w.ok)
        throw CommandFailure{kExitBadOutput, w.message};
}

std::span<const std::uint8_t> playerBytes() {
#ifdef QUILL_HAVE_PLAYER
    return albumPlayerBytes();
#else
    return {};
#endif
}

// ---- commands -------------------------------------------------------------------

struct Inputs {
    std::string in, out;
    bool keepAlpha = false;
};

void addInOut(CLI::App* sub, Inputs& io) {
    sub->add_option("IN", io.in, "input picture")->required();
    sub->add_option("OUT", io.out, "output picture (.png .bmp .jpg .jpeg .emf .wmf)")->required();
}

struct EffectCommand {
    std::string name;
    Inputs io;
    std::map<std::string, std::string> values;   // integer and kernel options as typed
    std::map<std::string, CLI::Option*> options; // every option of every effect
};

void setUpEffect(CLI::App* sub, EffectCommand& cmd) {
    sub->add_option("NAME", cmd.name, "effect name")->required();
    addInOut(sub, cmd.io);
    sub->add_flag("--keep-alpha", cmd.io.keepAlpha, "keep the alpha read from the file");
    std::string names;
    for (const EffectDescription& e : effectCatalogue()) {
        if (e.target != EffectTarget::Foreground)
            continue;
        names += (names.empty() ? "" : ", ") + e.name;
        for (const EffectParameter& p : e.parameters) {
            if (cmd.options.count(p.name))
                continue;
            std::string help = p.help.empty() ? p.name : p.help;
            // add_flag(name, std::string&) would bind the text as the flag's variable.
            if (p.kind == EffectParameter::Kind::Flag)
                cmd.options[p.name] = sub->add_flag("--" + p.name)->description(help);
            else
                cmd.options[p.name] = sub->add_option("--" + p.name, cmd.values[p.name], help);
        }
    }
    sub->footer("Effects: " + names);
}

int runEffect(EffectCommand& cmd, std::ostream&) {
    const EffectDescription* effect = findEffect(cmd.name, EffectTarget::Foreground);
    if (!effect)
        usage("effect: unknown effect '" + cmd.name + "'");
    const PictureFormat format = outputFormat(cmd.io.out);
    EffectSettings settings;
    for (auto& [name, option] : cmd.options) {
        if (option->count() == 0)
            continue;
        const EffectParameter* p = effect->parameter(name);
        if (!p)
            usage("effect " + effect->name + " has no option --" + name);
        if (p->kind == EffectParameter::Kind::Flag) {
            settings.flags.insert(name);
        } else if (p->kind == EffectParameter::Kind::Integer) {
            settings.integers[name] = effectInteger(cmd.values[name], *p);
        } else {
            std::string error;
            std::optional<Kernel3x3> kernel = parseKernel(cmd.values[name], &error);
            if (!kernel)
                usage("--" + name + ": " + error);
            settings.kernel = *kernel;
        }
    }
    std::string problem = validateEffectSettings(*effect, settings);
    if (!problem.empty())
        usage("effect " + effect->name + ": " + problem);
    TBitmap32 original = readInput(cmd.io.in, cmd.io.keepAlpha);
    TBitmap32 result = effect->runOnLayer(original, settings, programRandom());
    writeOutput(result, cmd.io.out, format);
    return kExitDone;
}

struct BackgroundCommand {
    std::string name;
    Inputs io;
    std::string tile;
    std::string tileNumber;
    CLI::Option* tileOption = nullptr;
    CLI::Option* tileNumberOption = nullptr;
};

int runBackgroundEffect(BackgroundCommand& cmd) {
    EffectChoice choice;
    choice.effect = findEffect(cmd.name, EffectTarget::Background);
    if (!choice.effect)
        usage("background-effect: unknown effect '" + cmd.name + "'");
    const bool haveTile = cmd.tileOption->count() > 0,
               haveNumber = cmd.tileNumberOption->count() > 0;
    if (choice.effect->parameter("tile")) {
        if (haveTile == haveNumber)
            usage("background-effect texture: give --tile FILE or --tile-number K");
        if (haveNumber) {
            const std::int32_t k = decimal(cmd.tileNumber, "--tile-number");
            if (k < 1 || k > kTextureTileCount)
                usage("--tile-number: must be 1 to " + std::to_string(kTextureTileCount));
            choice.settings.integers["tile-number"] = k;
        } else {
            choice.settings.pictureName = cmd.tile;
        }
    } else if (haveTile || haveNumber) {
        usage("background-effect " + cmd.name + ": only texture takes a tile");
    }
    const PictureFormat format = outputFormat(cmd.io.out);
    TBitmap32 original = readInput(cmd.io.in);
    std::string problem = loadEffectPicture(choice);
    if (!problem.empty())
        badInput(problem);
    writeOutput(choice.effect->runOnBackground(original, choice.settings), cmd.io.out, format);
    return kExitDone;
}

struct RotateCommand {
    std::string angle;
    Inputs io;
};

int runRotate(RotateCommand& cmd, std::ostream& out) {
    AngleParse angle = parseAngleText(cmd.angle);
    if (!angle.degrees)
        usage(angle.message);
    const PictureFormat format = outputFormat(cmd.io.out);
    TBitmap32 picture = readInput(cmd.io.in, cmd.io.keepAlpha);
    RotationResult turned;
    try {
        turned = rotateAboutCentre(picture, *angle.degrees);
    } catch (const std::length_error&) {
        badInput(cmd.io.in + ": the turned picture would be larger than the program can hold");
    }
    writeOutput(turned.picture, cmd.io.out, format);
    out << turned.GrowX << ' ' << turned.GrowY << '\n';
    return kExitDone;
}

struct ResizeCommand {
    std::string width, height;
    Inputs io;
};

int runResize(ResizeCommand& cmd, std::ostream& out) {
    const std::int32_t w = decimal(cmd.width, "--width");
    const std::int32_t h = decimal(cmd.height, "--height");
    if (w <= 0 || h <= 0)
        usage("resize: the width and height must be positive");
    const PictureFormat format = outputFormat(cmd.io.out);
    TBitmap32 picture = readInput(cmd.io.in, cmd.io.keepAlpha);
    const long double fx = static_cast<long double>(w) / picture.width();
    const long double fy = static_cast<long double>(h) / picture.height();
    try {
        ZoomInandOut(picture, fx, fy);
    } catch (const std::length_error&) {
        usage("resize: " + std::to_string(w) + " x " + std::to_string(h) +
              " is larger than the program can hold");
    }
    writeOutput(picture, cmd.io.out, format);
    out << picture.width() << ' ' << picture.height() << '\n';
    return kExitDone;
}

struct FrameCommand {
    std::string frame, width, height, out;
};

int runFrame(FrameCommand& cmd) {
    const std::int32_t w = decimal(cmd.width, "WIDTH");
    const std::int32_t h = decimal(cmd.height, "HEIGHT");
    if (w <= 0 || h <= 0 || !pictureSizeAllowed(w, h))
        usage("frame: WIDTH and HEIGHT must be positive and within " +
              std::to_string(kMaxPictureSide) + " pixels");
    const PictureFormat format = outputFormat(cmd.out);
    TBitmap32 frame = readInput(cmd.frame);
    writeOutput(makeFrameOverlay(frame, w, h), cmd.out, format);
    return kExitDone;
}

struct ComposeCommand {
    std::string scene, out;
};

int runCompose(ComposeCommand& cmd) {
    const bool sceneOut = isSceneFileName(cmd.out);
    const PictureFormat format = sceneOut ? PictureFormat::Png : outputFormat(cmd.out);
    const std::string maskFolder = libraryFoldersBeside(libraryFolder(programFolder())).MaskFolder;
    MaskLibrary masks;
    masks.maskload(maskFolder);
    // Brume layers draw from a generator of their own that starts at 0.
    ProgramRandom random(0);
    Document document(masks, random);
    document.history().setEnabled(false);
    try {
        if (isSceneFileName(cmd.scene)) {
            const std::string refused = openSceneFile(cmd.scene, document);
            if (!refused.empty())
                badInput(refused);
        } else {
            SceneFileResult file = readSceneDescription(cmd.scene);
            if (!file.scene)
                badInput(file.error);
            for (const SceneLayerSpec& layer : file.scene->layers)
                if (layer.mask.number >= 1 && !masks.mask(layer.mask.number))
                    badInput(maskFolder + "/" + maskFileName(layer.mask.number) +
                             " is not a valid format");
            const std::string refused = buildScene(*file.scene, document);
            if (!refused.empty())
                badInput(refused);
        }
    } catch (const std::length_error&) {
        badInput(cmd.scene + ": the scene would be larger than the program can hold");
    }
    if (sceneOut) {
        const WriteResult w = saveSceneFile(cmd.out, document);
        if (!w.ok)
            throw CommandFailure{kExitBadOutput, w.message};
    } else {
        writeOutput(document.scene().scenePicture(), cmd.out, format);
    }
    return kExitDone;
}

struct AlbumCommand {
    std::string output;
    std::vector<std::string> pictures;
    std::string album, dir;
};

int runAlbumMake(AlbumCommand& cmd) {
    if (playerBytes().empty())
        badInput(kNoPlayerMessage);
    std::vector<std::vector<std::uint8_t>> jpegs;
    for (const std::string& path : cmd.pictures) {
        TBitmap32 picture = readInput(path);
        jpegs.push_back(encodeJpeg(picture, 90));
    }
    AlbumWriteResult w = writeAlbumFromJpegs(cmd.output, playerBytes(), jpegs);
    if (!w.ok)
        throw CommandFailure{kExitBadOutput, w.message};
    return kExitDone;
}

AlbumIndex readAlbum(const std::string& path) {
    AlbumIndex index = readAlbumIndex(path);
    if (!index.ok())
        badInput(index.error);
    return index;
}

int runAlbumList(AlbumCommand& cmd, std::ostream& out) {
    AlbumIndex index = readAlbum(cmd.album);
    out << index.scenes.size() << '\n';
    for (std::size_t k = 0; k < index.scenes.size(); ++k)
        out << k + 1 << ' ' << index.scenes[k].offset << ' ' << index.scenes[k].length << '\n';
    return kExitDone;
}

int runAlbumExtract(AlbumCommand& cmd) {
    const AlbumWriteResult extracted = extractAlbum(cmd.album, cmd.dir);
    if (!extracted.ok)
        throw CommandFailure{extracted.readFailed ? kExitBadInput : kExitBadOutput,
                             extracted.message};
    return kExitDone;
}

} // namespace

int runCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"quillmark-cli: Quillmark's picture work without a window", "quillmark-cli"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "every command and its options");
    app.set_version_flag("--version", "quillmark-cli " QUILL_VERSION_TEXT);

    // info
    std::string infoFile;
    CLI::App* info =
        app.add_subcommand("info", "print WIDTH HEIGHT of a picture as the program reads it "
                                   "(WIDTH HEIGHT LAYERS of a scene file)");
    info->add_option("FILE", infoFile, "picture")->required();

    // convert
    Inputs convertIo;
    CLI::App* convert = app.add_subcommand("convert", "read IN and write it to OUT");
    addInOut(convert, convertIo);

    // effect
    EffectCommand effectCmd;
    CLI::App* effect = app.add_subcommand(
        "effect", "run a photo effect on IN as on a new layer, write the result");
    setUpEffect(effect, effectCmd);

    // background-effect
    BackgroundCommand backgroundCmd;
    CLI::App* background =
        app.add_subcommand("background-effect", "run a background effect on IN, write the result");
    std::string backgroundNames;
    for (const EffectDescription& e : effectCatalogue())
        if (e.target == EffectTarget::Background)
            backgroundNames += (backgroundNames.empty() ? "" : ", ") + e.name;
    background->add_option("NAME", backgroundCmd.name, backgroundNames)->required();
    addInOut(background, backgroundCmd.io);
    backgroundCmd.tileOption =
        background->add_option("--tile", backgroundCmd.tile, "texture: a tile picture");
    backgroundCmd.tileNumberOption = background->add_option(
        "--tile-number", backgroundCmd.tileNumber, "texture: one of the program's tiles, 1..12");

    // rotate
    RotateCommand rotateCmd;
    CLI::App* rotate = app.add_subcommand(
        "rotate", "turn IN as the rotate command turns a layer; print GROWX GROWY");
    rotate->add_option("--angle", rotateCmd.angle, "whole degrees, clockwise")->required();
    rotate->add_flag("--keep-alpha", rotateCmd.io.keepAlpha, "keep the alpha read from the file");
    addInOut(rotate, rotateCmd.io);

    // resize
    ResizeCommand resizeCmd;
    CLI::App* resize =
        app.add_subcommand("resize", "resample IN to WIDTH x HEIGHT as the size dialog does");
    resize->add_option("--width", resizeCmd.width, "new width")->required();
    resize->add_option("--height", resizeCmd.height, "new height")->required();
    addInOut(resize, resizeCmd.io);

    // frame
    FrameCommand frameCmd;
    CLI::App* frame =
        app.add_subcommand("frame", "make the frame overlay for a background of WIDTH x HEIGHT");
    frame->add_option("FRAME", frameCmd.frame, "frame picture")->required();
    frame->add_option("WIDTH", frameCmd.width, "background width")->required();
    frame->add_option("HEIGHT", frameCmd.height, "background height")->required();
    frame->add_option("OUT", frameCmd.out, "output picture")->required();

    // compose
    ComposeCommand composeCmd;
    CLI::App* compose = app.add_subcommand("compose", "compose the scene a scene file describes");
    compose->add_option("SCENE", composeCmd.scene, "scene description (JSON) or scene file (.ora)")
        ->required();
    compose->add_option("OUT", composeCmd.out, "output picture, or a scene file (.ora)")
        ->required();

    // album
    AlbumCommand albumCmd;
    CLI::App* album = app.add_subcommand("album", "make, list and extract album files");
    album->require_subcommand(1);
    CLI::App* albumMake = album->add_subcommand("make", "write an album of the pictures");
    albumMake->add_option("-o", albumCmd.output, "album file")->required();
    albumMake->add_option("PICTURE", albumCmd.pictures, "pictures, in album order")->required();
    CLI::App* albumList = album->add_subcommand("list", "print N, then K OFFSET LENGTH per scene");
    albumList->add_option("ALBUM", albumCmd.album, "album file")->required();
    CLI::App* albumExtract =
        album->add_subcommand("extract", "write the scenes as DIR/scene1.jpg ..");
    albumExtract->add_option("ALBUM", albumCmd.album, "album file")->required();
    albumExtract->add_option("DIR", albumCmd.dir, "folder")->required();

    // Every command that reads pictures can take them as stored instead of upright.
    bool keepStored = false;
    for (CLI::App* reads :
         {info, convert, effect, background, rotate, resize, frame, compose, albumMake})
        reads->add_flag("--no-orientation", keepStored,
                        "keep pictures as stored, not turned upright as their files say");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // The help of the command that was asked about.
        CLI::App* asked = &app;
        for (CLI::App* sub : app.get_subcommands())
            asked = sub;
        for (CLI::App* sub : asked->get_subcommands())
            asked = sub;
        out << asked->help();
        return kExitDone;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitDone;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        err << "quillmark-cli: " << e.what() << '\n';
        return kExitUsage;
    }

    const LoadOptionsScope orientation(LoadOptions{.applyOrientation = !keepStored});
    try {
        if (info->parsed()) {
            if (isSceneFileName(infoFile)) {
                const SceneFileInfo scene = readSceneFileInfo(infoFile);
                if (!scene.message.empty())
                    badInput(scene.message);
                out << scene.width << ' ' << scene.height << ' ' << scene.layers << '\n';
                return kExitDone;
            }
            TBitmap32 picture = readInput(infoFile, true);
            out << picture.width() << ' ' << picture.height() << '\n';
            return kExitDone;
        }
        if (convert->parsed()) {
            const PictureFormat format = outputFormat(convertIo.out);
            writeOutput(readInput(convertIo.in, true), convertIo.out, format);
            return kExitDone;
        }
        if (effect->parsed())
            return runEffect(effectCmd, out);
        if (background->parsed())
            return runBackgroundEffect(backgroundCmd);
        if (rotate->parsed())
            return runRotate(rotateCmd, out);
        if (resize->parsed())
            return runResize(resizeCmd, out);
        if (frame->parsed())
            return runFrame(frameCmd);
        if (compose->parsed())
            return runCompose(composeCmd);
        if (albumMake->parsed())
            return runAlbumMake(albumCmd);
        if (albumList->parsed())
            return runAlbumList(albumCmd, out);
        if (albumExtract->parsed())
            return runAlbumExtract(albumCmd);
    } catch (const CommandFailure& f) {
        err << f.message << '\n';
        return f.exitCode;
    } catch (const std::bad_alloc&) {
        err << "quillmark-cli: out of memory\n";
        return kExitBadInput;
    }
    return kExitUsage;
}

} // namespace quill
