#pragma once

#include <mutex>
#include <optional>

#include "platform/video/video_frame.h"
#include "protocol/uuid.h"

namespace quillory {

// What the caller's thread and the encoder's queue share: the one raw frame that waits (a newer
// one replaces it), whether a pump pass is scheduled, the frames inside the codec (at most
// maximumInCodec) and whether the next one must be a keyframe, under one lock with the
// generation they belong to. Only the queue renews the generation, so it reads it without the
// lock.
class StudioEncoderAdmission {
  public:
    static constexpr int maximumInCodec = 2;

    struct Job {
        VideoFrame frame;
        bool keyframe = false;
        double admitted = 0.0;
    };
    struct Admitted {
        bool accepted = false;
        Uuid generation;
        // The frame that waited and was replaced.
        std::optional<Job> replaced;
        // A pump pass is now claimed; the caller schedules it.
        bool schedule = false;
    };
    // A frame taken for the codec, with whether a keyframe is owed.
    struct Taken {
        Job job;
        Uuid generation;
        bool keyframe = false;
    };

    StudioEncoderAdmission() : generation_(Uuid::random()) {}

    // Any thread. Refused while inactive.
    Admitted admit(const VideoFrame& frame, bool keyframeWanted, double now);
    int framesInCodec() const;

    // The rest runs on the encoder's queue.
    const Uuid& generation() const { return generation_; }
    // Claims a pump pass when a frame waits and the codec has room.
    bool claimPump();
    // Ends the claimed pass with the waiting frame, when there is one and room for it.
    std::optional<Taken> take();
    // A frame went into the codec; the frames now inside it.
    int submitted();
    // A frame the codec refused: it is no longer inside, and the next one must be a keyframe.
    void refused();
    // A frame's output was handled; whether frames are still accepted.
    bool completed();
    void requestKeyframe();
    // Starts accepting frames; the first is a keyframe.
    void open();
    // Stops accepting frames and forgets the waiting one.
    void close();
    // Closes and forgets everything; what comes later belongs to a new generation.
    void renew();

  private:
    bool pumpDue() const;

    mutable std::mutex lock_;
    Uuid generation_;
    bool active_ = false;
    std::optional<Job> pending_;
    bool pumping_ = false;
    int submitted_ = 0;
    bool forceKeyframe_ = false;
};

}  // namespace quillory
