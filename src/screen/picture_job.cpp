#include "screen/picture_job.h"

#include <new>

namespace {

// The job, below normal priority so the window's input comes first; its outcome posted to the window.
DWORD WINAPI JobThread(void* parameter) {
    const std::unique_ptr<PictureJob> job(static_cast<PictureJob*>(parameter));
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    auto outcome = std::make_unique<PictureOutcome>(PictureOutcome{job->generation, std::nullopt, std::nullopt});
    const auto placeFor = [&](int width, int height) -> std::optional<PixelRect> {
        const auto place =
            PlacePicture(width, height, job->screen.cx, job->screen.cy, job->twipsPerPixel, job->stretch);
        if (!place) return std::nullopt;
        outcome->fit = place->fit;
        return place->pixels;
    };
    try {  // memory a picture of absurd proportions asks for and cannot have: the tint alone
        std::wstring path(job->path.size() + 1, L'\0');  // the setting is in the ANSI code page
        const int length = MultiByteToWideChar(CP_ACP, 0, job->path.data(), static_cast<int>(job->path.size()),
                                               path.data(), static_cast<int>(path.size()));
        path.resize(static_cast<std::size_t>(std::max(0, length)));
        outcome->drawn = LoadPicture(path, placeFor, job->screen, job->back, *job->cancelled);
    } catch (const std::bad_alloc&) {
        outcome->drawn.reset();
    }
    if (!outcome->drawn) outcome->fit.reset();
    // Posted last: once the window has it, this thread does nothing more.
    if (PostMessageA(job->window, kPictureDone, 0, reinterpret_cast<LPARAM>(outcome.get()))) outcome.release();
    return 0;
}

}  // namespace

bool StartPictureJob(PictureJob job) {
    auto owned = std::make_unique<PictureJob>(std::move(job));
    const File thread(CreateThread(nullptr, 0, JobThread, owned.get(), 0, nullptr));
    if (!thread) return false;
    owned.release();
    return true;
}
