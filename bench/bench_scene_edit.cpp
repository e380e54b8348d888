// The scene editor's cut and merge among 500 scenes titled by the studio templates: every title
// goes through codes and back at each edit, so the cost grows with the list. Target: well under
// 50 ms for one cut or one merge.
#include <benchmark/benchmark.h>

#include <memory>

#include "scenes/scene_editing.h"

namespace {

using namespace velinor;

constexpr uint32_t kSceneFrames = 250;
constexpr int kScenes = 500;

// The preview of a tape whose clock jumps one minute at every shot.
class TapePreview : public SceneDetailsSource {
public:
    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override {
        SceneFrameValues v;
        v.datecodeValid = true;
        v.datecode =
            *MakeDatecode({2004, 7, 14, 15, 32, 10}) + double(frame / kSceneFrames) * 60 * kOneSecond;
        v.timecodeValid = true;
        v.tcMinutes = int(frame / 1500 % 60), v.tcSeconds = int(frame / 25 % 60),
        v.tcFrames = int(frame % 25);
        return v;
    }
    ScenePicture snapshot() override { return ScenePicture(8, 6); }
};

struct Editor {
    Editor() {
        file.video = CurrentVideo{"/videos/vacances/clip.avi", 25.0, 720, 576, kScenes * kSceneFrames};
        file.Codec = "dvsd";
        file.ImageText = "720 x 576";
        file.AspectText = " 4:3";
        file.AudioText = "48 kHz, 16 bits, stéréo";
        context.file = &file;
        context.preview = &preview;
        // Thumbnails are not what is measured: the scenes are made without a picture size.
        for (uint32_t i = 0; i < kScenes; ++i) {
            auto s = std::make_unique<TSceneClass>(i * kSceneFrames, (i + 1) * kSceneFrames);
            s->LoadDetails(preview, file.video.fps, context.settings);
            s->Numero = int32_t(i + 1);
            list.Items().push_back({s->SceneCaption(), std::move(s)});
        }
        TitlesEditor titles;
        titles.Studio();
        titles.Tous(list, 0, context);
    }
    TitleFile file;
    TapePreview preview;
    SceneEditContext context;
    TSFrame list;
};

// One cut in the middle of the list, then the merge that undoes it, so every iteration starts
// from the same 500 scenes.
void BM_CutScene(benchmark::State& state) {
    Editor e;
    for (auto _ : state) {
        if (!CutScene(e.list, 250 * kSceneFrames + 100, e.context).changed()) state.SkipWithError("no cut");
        state.PauseTiming();
        MergeScene(e.list, 251, e.context);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CutScene)->Unit(benchmark::kMillisecond);

void BM_MergeScene(benchmark::State& state) {
    Editor e;
    for (auto _ : state) {
        state.PauseTiming();
        CutScene(e.list, 250 * kSceneFrames + 100, e.context);
        state.ResumeTiming();
        if (!MergeScene(e.list, 251, e.context).changed()) state.SkipWithError("no merge");
    }
}
BENCHMARK(BM_MergeScene)->Unit(benchmark::kMillisecond);

// "Studio" then "Tous" over the whole list.
void BM_ApplyStudioToEveryScene(benchmark::State& state) {
    Editor e;
    TitlesEditor titles;
    titles.Studio();
    for (auto _ : state)
        if (!titles.Tous(e.list, 0, e.context).changed()) state.SkipWithError("nothing applied");
}
BENCHMARK(BM_ApplyStudioToEveryScene)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
