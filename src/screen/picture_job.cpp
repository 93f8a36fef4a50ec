#include "screen/picture_job.h"

#include <new>

namespace {

std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(0, length)));
    return wide;
}

DWORD WINAPI JobThread(void* parameter) {
    const std::unique_ptr<PictureJob> job(static_cast<PictureJob*>(parameter));
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    auto outcome = std::make_unique<PictureOutcome>(RunPictureJob(*job));
    // Posted last: once the window has it, this thread does nothing more.
    if (PostMessageA(job->window, kPictureDone, 0, reinterpret_cast<LPARAM>(outcome.get()))) outcome.release();
    return 0;
}

}  // namespace

PictureOutcome RunPictureJob(const PictureJob& job) {
    PictureOutcome outcome{job.generation, std::nullopt, std::nullopt};
    const auto placeFor = [&](int width, int height) -> std::optional<PixelRect> {
        const auto place = PlacePicture(width, height, job.screen.cx, job.screen.cy, job.twipsPerPixel, job.stretch);
        if (!place) return std::nullopt;
        outcome.fit = place->fit;
        return place->pixels;
    };
    try {  // memory a picture of absurd proportions asks for and cannot have: the tint alone
        outcome.drawn = LoadPicture(Wide(job.path), placeFor, job.screen, job.back, *job.cancelled);
    } catch (const std::bad_alloc&) {
        outcome.drawn.reset();
    }
    if (!outcome.drawn) outcome.fit.reset();
    return outcome;
}

bool StartPictureJob(PictureJob job) {
    auto owned = std::make_unique<PictureJob>(std::move(job));
    HANDLE thread = CreateThread(nullptr, 0, JobThread, owned.get(), 0, nullptr);
    if (thread == nullptr) return false;
    owned.release();
    CloseHandle(thread);
    return true;
}
