// The choice of render scale frame by frame (--render-scale auto): fewer
// pixels while frames take longer than the display's refresh, more again
// once they have had time to spare for a while. A pure function of the
// frame times it is given; the caller measures them and applies the scale.
#pragma once

// The scales it steps through, largest first.
const int SCALE_STEP_COUNT = 5;
extern const float SCALE_STEPS[SCALE_STEP_COUNT];
// The frames whose median is judged.
const int SCALE_WINDOW_FRAMES = 30;
// After a step or a scene change the window starts afresh; a judgement
// needs this many frames of the new state.
const int SCALE_WINDOW_LEAST = 10;
// No step within a scene's first half second, nor within half a second of
// the last step: the picture never flickers between sizes.
const double SCALE_HOLD_SECONDS = 0.5;
// A step up once the median has left this share of the period unused ...
const double SCALE_SPARE_SHARE = 0.3;
// ... for this long.
const double SCALE_SPARE_SECONDS = 2.0;
// Without the display's refresh period: 60 Hz.
const double SCALE_PERIOD_DEFAULT_MS = 1000.0 / 60.0;

struct ScaleControl {
    int step;                             // index into SCALE_STEPS
    int scene;                            // scene of the frames in the window
    int count;                            // frames in the window
    int next;                             // where the next frame time goes
    double frames_ms[SCALE_WINDOW_FRAMES];
    double held_until;                    // seconds: no step before this
    double spare_since;                   // seconds: since when frames had time to spare; negative: not now
};

// Scale 1, nothing measured.
void scale_control_init(ScaleControl* control);
// Takes the time one frame of `scene` took (ms), drawn `scene_t` seconds
// into the scene at `now` seconds of a clock that never goes back, with
// frames due every `period_ms`. Returns the step
// for the next frame: one down when the window's median exceeds the period,
// one up when it has stayed at or under 70 % of it for 2 s, else as it was.
int scale_control_frame(ScaleControl* control, int scene, double scene_t, double now, double ms,
                        double period_ms);
