/** What the player does next for a seek made while paused. */
enum abstract PeekStep(Int) {
    /** Nothing yet. */
    var Wait = 0;
    /** Play the stream, silent, until the new picture is drawn. */
    var Resume = 1;
    /** Pause again and seek to holdAt: the picture stays, the sound that ran ahead stops. */
    var Hold = 2;
    /** The sound may come back. */
    var Unmute = 3;
}

/**
 * A seek made while paused. The runtime draws no picture for a seek while the stream
 * stands still, so the stream plays for a moment to draw it. It plays only once the
 * seek is made and the sound is off (the page's Ruffle element takes its volume a
 * moment after the player asks), and the sound comes back only a moment after the
 * stream is held again, once what it ran ahead has been cut off by a seek.
 */
class PausedSeek {
    /**
     * The time a seek to the start goes to: Ruffle finds no frame for a seek back to
     * 0 exactly, and a seek back to a moment after 0 lands on the first frame.
     */
    public static inline var START = 0.001;
    /** How long a step may wait for the runtime before the picture is left as it is. */
    static inline var GIVE_UP_MS = 1500;
    /** How far the stream plays before it is held: a few frames, so that the new one is drawn. */
    static inline var SHOWN = 0.1;
    /** How long the sound stays off after the stream is held. */
    static inline var SETTLE_MS = 200;

    /** True from the seek until the sound may come back. */
    public var active(get, never):Bool;
    /** Where the stream is held once the new picture is drawn: the frame the seek landed on. */
    public var holdAt(default, null) = 0.0;

    static inline var IDLE = 0;
    static inline var WAITING = 1;
    static inline var SHOWING = 2;
    static inline var SETTLING = 3;
    var phase = IDLE;
    var seekDone = false;
    var silent = false;
    var since = 0;
    var from = 0.0;

    public function new() {}

    /** The time to seek to for target when the stream is at time. */
    public static function offset(target:Float, time:Float):Float {
        return target <= 0 && time > START ? START : target;
    }

    function get_active():Bool {
        return phase != IDLE;
    }

    /** A seek was asked for while paused, at now. The sound turned off for an earlier one stays off. */
    public function begin(now:Int) {
        silent = silent && phase != IDLE;
        phase = WAITING;
        seekDone = false;
        since = now;
    }

    /** The runtime has made the seek. */
    public function noteSeekDone() {
        seekDone = true;
    }

    /** The sound is off. */
    public function noteSilent() {
        silent = true;
    }

    /** Playback goes on from here: the seek needs no more care. */
    public function cancel() {
        phase = IDLE;
        silent = false;
    }

    /** Each frame, with the stream's time: what to do now. */
    public function step(now:Int, time:Float):PeekStep {
        switch (phase) {
            case WAITING:
                if (seekDone && silent) {
                    phase = SHOWING;
                    from = time;
                    since = now;
                    return Resume;
                }
                if (now - since > GIVE_UP_MS) {
                    cancel();
                    return Unmute;
                }
            case SHOWING:
                if (Math.abs(time - from) >= SHOWN || now - since > GIVE_UP_MS) {
                    phase = SETTLING;
                    holdAt = from;
                    since = now;
                    return Hold;
                }
            case SETTLING:
                if (now - since >= SETTLE_MS) {
                    cancel();
                    return Unmute;
                }
        }
        return Wait;
    }
}
