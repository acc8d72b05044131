/**
 * When the video's clock last moved, and for how many frames it has stood still:
 * what tells a stall, an end the runtime does not report and a stream that stops
 * short. Times are the runtime's milliseconds.
 */
class TimeWatch {
    /** When the clock last moved (or the visitor last started or paused it). */
    public var changedAt(default, null) = 0;

    var last = 0.0;
    var stillFrames = 0;

    public function new() {}

    /** Notes the clock's time at now; a time other than the last starts the count again. */
    public function observe(time:Float, now:Int) {
        if (time == last) return;
        last = time;
        changedAt = now;
        stillFrames = 0;
    }

    /** Counts from now, as when the visitor starts or pauses the video. */
    public function restart(now:Int) {
        changedAt = now;
    }

    /** How long the clock has stood still at now. */
    public function stillFor(now:Int):Int {
        return now - changedAt;
    }

    /** Frames while paused or stalled do not count as standing still. */
    public function forgetFrames() {
        stillFrames = 0;
    }

    /** One more frame without a change; the frames counted. */
    public function countStillFrame():Int {
        return ++stillFrames;
    }
}
