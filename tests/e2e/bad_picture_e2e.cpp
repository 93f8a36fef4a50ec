// The saver given a picture setting that names no usable picture: a folder, an empty file,
// pictures cut short, a file another process holds locked, a path beyond MAX_PATH, an icon
// whose header claims a huge image. Each time it must still show its layered window with
// the alpha of its settings, tint alone where the picture would have been, leave the
// settings as they were, and end on a key with exit status 0.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "../win/locked_file.h"
#include "../win/scratch_folder.h"
#include "e2e.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Head(const std::string& file, std::size_t bytes) {
    std::ifstream in(e2e::TestData(file), std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), {});
    if (data.size() > bytes) data.resize(bytes);
    return data;
}

TEST(BadPicture, SaverShowsTheTintAloneAndEndsOnAKey) {
    ScratchFolder scratch("velumbra-e2e-pictures");
    ASSERT_TRUE(scratch.Exists());
    const std::string folder = scratch.Path() + "\\folder.jpg";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string lockedPath = scratch.Write("locked.bmp", Head("quadrants.bmp", 1u << 20));
    const std::string deep = scratch.DeepFolder(300).substr(scratch.Path().size() + 1);
    // The icon with its first image's height set to 0x20000040: Wine's icon decoder wrote
    // past its buffer on it.
    Bytes hugeIcon = Head("icon.ico", 1u << 20);
    ASSERT_GT(hugeIcon.size(), 50u);
    hugeIcon[38 + 8] = 0x40;
    hugeIcon[38 + 11] = 0x20;

    struct Case {
        std::string label, path;
        std::uint32_t stretch;  // 1: the picture would have filled the screen's width
    };
    const Case cases[] = {
        {"a folder", folder, 0},
        {"a zero-byte file", scratch.Write("empty.bmp", {}), 1},
        {"a bitmap cut after its headers", scratch.Write("cut.bmp", Head("quadrants.bmp", 60)), 0},
        {"a JPEG cut short", scratch.Write("cut.jpg", Head("quadrants.jpg", 60)), 1},
        {"a file locked by another process", lockedPath, 0},
        {"a path beyond MAX_PATH", scratch.Write(deep + "\\cut.bmp", Head("quadrants.bmp", 60)), 1},
        {"an icon whose image claims a huge size", scratch.Write("huge.ico", hugeIcon), 0},
    };
    // Opaque, so the screenshot shows the window's own pixels: tint 0x00336699 is red 0x99,
    // green 0x66, blue 0x33.
    const std::uint32_t tint = 0x996633;
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int tried = 0, failed = 0;
    LockedFile lock(WindowsPathOf(VELUMBRA_LOCKFILE), lockedPath);
    ASSERT_TRUE(lock.Locked()) << "the helper could not lock " << lockedPath;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const int failuresBefore = result->total_part_count();
        e2e::ClearSettings();
        SetCursorPos(0, 0);
        e2e::PutDword("formcolor", 0x00336699);
        e2e::PutDword("transvalue", 0);
        e2e::PutDword("imagestretch", c.stretch);
        e2e::PutText("imagename", c.path);
        const e2e::Snapshot before = e2e::ReadSettings();
        {
            e2e::Scr scr("/s");
            HWND hwnd = scr.WaitWindow(e2e::kSaverClass, 10000);
            EXPECT_NE(hwnd, nullptr);
            if (hwnd != nullptr) {
                EXPECT_TRUE(e2e::WaitFor([&] { return (e2e::ReadLayered(hwnd).flags & LWA_ALPHA) != 0; }, 5000));
                EXPECT_EQ(e2e::ReadLayered(hwnd).alpha, 255);
                Sleep(150);  // painted
                const e2e::Screenshot shot = e2e::CaptureScreen();
                int off = 0, firstX = -1, firstY = -1;
                for (int y = 0; y < shot.height; ++y)
                    for (int x = 0; x < shot.width; ++x)
                        if (shot.At(x, y) != tint && off++ == 0) {
                            firstX = x;
                            firstY = y;
                        }
                EXPECT_EQ(off, 0) << "pixels other than the tint, the first at " << firstX << "," << firstY << ": "
                                  << std::hex << (off ? shot.At(firstX, firstY) : 0);
                e2e::Keys({VK_SPACE});
            }
            EXPECT_TRUE(scr.Exited(5000));
            EXPECT_EQ(scr.ExitCode(), 0u);
        }
        EXPECT_EQ(e2e::ReadSettings(), before);
        ++tried;
        if (result->total_part_count() != failuresBefore) ++failed;
    }
    EXPECT_TRUE(lock.Locked()) << "the lock ended before the saver was done with the file";
    lock.Release();
    std::printf("[ report ] saver with bad pictures, end to end: %d tried, %d failed\n", tried, failed);
}

}  // namespace
