#include "tools/pad/studio_listing.h"

#include <gtest/gtest.h>

namespace quillory::pad {
namespace {

using Kind = StudioSignal::Kind;
using Step = StudioListing::Step;

StudioSource source(StudioSource::Kind kind, std::string name) {
    return StudioSource{.id = Uuid::random(), .kind = kind, .name = std::move(name)};
}

TEST(StudioListing, TakesOnlyItsOwnListAndOneThumbnailPerListedSource) {
    const Uuid request = Uuid::random();
    StudioListing listing(request);
    const auto display = source(StudioSource::Kind::display, "Main display");
    const auto window = source(StudioSource::Kind::window, "Notes");
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    const auto thumbnail = [&](const Uuid& id, const Uuid& sourceID) {
        return StudioSignal{
            .id = id, .kind = Kind::thumbnail, .sourceID = sourceID, .thumbnail = jpeg};
    };

    // A thumbnail before its list, and anything of another request, is not taken.
    EXPECT_EQ(listing.take(thumbnail(request, display.id)), Step::ignored);
    EXPECT_EQ(listing.take(StudioSignal{
                  .id = Uuid::random(), .kind = Kind::sources, .sources = std::vector{display}}),
              Step::ignored);
    EXPECT_FALSE(listing.hasSources());

    EXPECT_EQ(listing.take(StudioSignal{
                  .id = request, .kind = Kind::sources, .sources = std::vector{display, window}}),
              Step::sources);
    EXPECT_EQ(listing.sources().size(), 2u);
    // A second list of the same request does not replace the first.
    EXPECT_EQ(listing.take(StudioSignal{
                  .id = request, .kind = Kind::sources, .sources = std::vector<StudioSource>{}}),
              Step::ignored);

    const struct {
        StudioSignal signal;
        Step step;
        bool complete;
    } rows[] = {
        {thumbnail(request, Uuid::random()), Step::ignored, false},
        {thumbnail(Uuid::random(), display.id), Step::ignored, false},
        {thumbnail(request, display.id), Step::thumbnail, false},
        {thumbnail(request, display.id), Step::ignored, false},
        {thumbnail(request, window.id), Step::thumbnail, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(listing.take(row.signal), row.step);
        EXPECT_EQ(listing.complete(), row.complete);
    }
    EXPECT_EQ(listing.thumbnails(), 2u);
    EXPECT_EQ(listing.take(StudioSignal{.id = request, .kind = Kind::failure, .message = "No"}),
              Step::failure);
}

TEST(StudioListing, AnEmptyListIsCompleteAtOnce) {
    const Uuid request = Uuid::random();
    StudioListing listing(request);
    EXPECT_FALSE(listing.complete());
    listing.take(
        StudioSignal{.id = request, .kind = Kind::sources, .sources = std::vector<StudioSource>{}});
    EXPECT_TRUE(listing.complete());
}

TEST(StudioListing, ImageSizesFromTheirHeaders) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                 'I',  'H', 'D', 'R', 0,    0,    0,    48,   0, 0, 1, 2};
    EXPECT_EQ(pngSize(png), (ImageSize{48, 258}));
    png[12] = 'X';
    EXPECT_FALSE(pngSize(png));
    EXPECT_FALSE(pngSize(Bytes(png.begin(), png.begin() + 20)));

    // SOI, an APP0 segment to skip, then a baseline frame header of 320 × 180.
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4,   'J', 'F', 0xFF,
                        0xC0, 0,    17,   8,    0, 180, 1,   64};
    EXPECT_EQ(jpegSize(jpeg), (ImageSize{320, 180}));
    // A Huffman table (0xC4) is no frame header; a cut or broken file has no size.
    const Bytes tableOnly = {0xFF, 0xD8, 0xFF, 0xC4, 0, 7, 8, 0, 180, 1, 64};
    EXPECT_FALSE(jpegSize(tableOnly));
    EXPECT_FALSE(jpegSize(Bytes(jpeg.begin(), jpeg.begin() + 12)));
    EXPECT_FALSE(jpegSize({0xFF, 0xD8, 0x00, 0xC0, 0, 2}));
    EXPECT_FALSE(jpegSize({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}));
}

TEST(StudioListing, SourceLinesNameKindApplicationAndIcon) {
    auto window = source(StudioSource::Kind::window, "Notes");
    EXPECT_EQ(sourceText(window), "window   Notes");
    window.application = "Text Editor";
    window.iconPNG = Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                           'I',  'H', 'D', 'R', 0,    0,    0,    64,   0, 0, 0, 64};
    EXPECT_EQ(sourceText(window), "window   Notes — Text Editor  icon 64×64");
}

TEST(StudioListing, ChoosesASourceByIdOrByItsPossiblyShortenedTitle) {
    const auto display = source(StudioSource::Kind::display, "Notes");
    const auto notes = source(StudioSource::Kind::window, "Notes");
    const auto shortened = source(StudioSource::Kind::window, "🇫🇷🇩🇪");
    const auto report = source(StudioSource::Kind::window, "Report");
    const auto reportDraft = source(StudioSource::Kind::window, "Report draft");
    const std::vector sources{display, notes, shortened, report, reportDraft};
    const struct {
        std::optional<Uuid> id;
        std::optional<std::string> window;
        std::optional<Uuid> chosen;  // none: refused
    } cases[] = {
        {display.id, std::nullopt, display.id},
        {Uuid::random(), std::nullopt, std::nullopt},
        // A window, never the display of the same name.
        {std::nullopt, "Notes", notes.id},
        // The list shortened the title at a character boundary.
        {std::nullopt, "🇫🇷🇩🇪🇮🇹🇪🇸", shortened.id},
        // An exact title wins over a window whose title it begins.
        {std::nullopt, "Report", report.id},
        {std::nullopt, "Report draft", reportDraft.id},
        // Two listed titles begin it: ambiguous.
        {std::nullopt, "Report drafts", std::nullopt},
        {std::nullopt, "Note", std::nullopt},
        {std::nullopt, "🇫🇷", std::nullopt},
    };
    for (const auto& [id, window, chosen] : cases) {
        const auto result = chooseSource(sources, id, window);
        const auto* found = std::get_if<StudioSource>(&result);
        EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, chosen)
            << window.value_or("by id") << ": "
            << (found ? found->name : std::get<std::string>(result));
    }
    EXPECT_EQ(std::get<std::string>(chooseSource(sources, std::nullopt, "Report drafts")),
              "Several windows of the computer begin like “Report drafts”. quillory-pad studio "
              "list shows what it shares.");
}

}  // namespace
}  // namespace quillory::pad
