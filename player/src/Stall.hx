/**
 * Where playback waits for the file to load, and when it may go on. The player holds
 * the stream where its estimate of the loaded part ends; the runtime may run out of
 * data sooner (the estimate takes the bytes to be spread evenly over the video, and
 * its start may take more than its share). Where it ran out, going on waits too for
 * the bytes the next seconds need at the rate the video has needed them so far: a
 * runtime whose clock ran on without data would otherwise jump ahead to it.
 */
class Stall {
    /** The time playback waits at. */
    public var at(default, null) = 0.0;
    /** Bytes loaded where the runtime ran out of data; -1 where the estimate held the stream. */
    var bytesAt = -1.0;

    public function new() {}

    /** The stream was held where the estimate of the loaded part ends. */
    public function held(time:Float) {
        at = time;
        bytesAt = -1;
    }

    /** The runtime ran out of data at time, with bytes loaded. */
    public function ranOut(time:Float, bytes:Float) {
        at = time;
        bytesAt = bytes;
    }

    /** Whether playback may go on with ahead seconds loaded beyond where it waits. */
    public function canGoOn(loadedTime:Float, bytesLoaded:Float, bytesTotal:Float, duration:Float, ahead:Float):Bool {
        if (bytesTotal > 0 && bytesLoaded >= bytesTotal) return true;
        if (loadedTime < Math.min(at + ahead, duration)) return false;
        if (bytesAt < 0 || at <= 0) return true;
        return bytesLoaded >= Math.min(bytesAt + bytesAt / at * ahead, bytesTotal);
    }
}
