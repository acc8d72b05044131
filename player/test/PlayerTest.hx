import haxe.io.Bytes;
import haxe.io.BytesOutput;
import PausedSeek.PeekStep;

/**
 * Checks the player's parts that do not need the Flash runtime: the address rule,
 * which must agree with the page's HTML5 player, and the reading of an FLV's
 * metadata. Runs in Haxe's interpreter: haxe -cp src -cp test -main PlayerTest --interp
 */
class PlayerTest {
    static var failures = 0;

    static function check(what:String, got:Dynamic, want:Dynamic) {
        if (Std.string(got) != Std.string(want)) {
            failures++;
            Sys.println('FAILED: $what: got "$got", want "$want"');
        }
    }

    static function main() {
        addresses();
        metadata();
        timeWatch();
        failureText();
        pausedSeek();
        timeText();
        logoPlace();
        stall();
        Sys.println(failures == 0 ? "passed" : '$failures failed');
        Sys.exit(failures == 0 ? 0 : 1);
    }

    static function timeWatch() {
        var clock = new TimeWatch();
        clock.observe(0.0, 1000);
        check("no change before the clock moves", clock.stillFor(1500), 1500);
        clock.observe(0.4, 1600);
        check("a new time starts the count", clock.stillFor(1700), 100);
        check("still frames are counted", [clock.countStillFrame(), clock.countStillFrame()].join(","), "1,2");
        clock.observe(0.4, 1800);
        check("the same time changes nothing", clock.stillFor(1900), 300);
        clock.forgetFrames();
        check("forgotten frames count from one again", clock.countStillFrame(), 1);
        clock.observe(0.8, 2000);
        check("a move forgets the frames", clock.countStillFrame(), 1);
        clock.restart(2500);
        check("a start or pause counts from then", clock.stillFor(2600), 100);
    }

    /* A seek while paused plays only once the seek is made and the sound is off, and
       the sound comes back only after the stream is held again. */
    static function pausedSeek() {
        var seek = new PausedSeek();
        seek.begin(1000);
        check("waits for the seek", seek.step(1030, 12.0), Wait);
        seek.noteSeekDone();
        check("waits for the sound to go", seek.step(1060, 0.0), Wait);
        check("silent until the sound may come back", seek.active, true);
        seek.noteSilent();
        check("plays once both are done", seek.step(1090, 0.0), Resume);
        check("plays until the picture moves", seek.step(1120, 0.0), Wait);
        check("plays a few frames", seek.step(1150, 0.04), Wait);
        check("held once it moved on", seek.step(1180, 0.12), Hold);
        check("held at the frame it landed on", seek.holdAt, 0.0);
        check("the sound stays off a moment", seek.step(1200, 0.0), Wait);
        check("then comes back", seek.step(1400, 0.0), Unmute);
        check("done", seek.active, false);

        // Another seek while one is under way: the sound is off already.
        seek.begin(2000);
        seek.noteSeekDone();
        seek.noteSilent();
        check("a seek in place", seek.step(2030, 5.0), Resume);
        seek.begin(2040);
        seek.noteSeekDone();
        check("the next seek needs no new silence", seek.step(2070, 8.0), Resume);
        // A new seek after the last one has ended waits for the sound to go again.
        seek.cancel();
        seek.begin(3000);
        seek.noteSeekDone();
        check("silence again after the end", seek.step(3030, 8.0), Wait);
        check("gives up on a runtime that never answers", seek.step(4600, 8.0), Unmute);
        check("given up", seek.active, false);

        // A seek back to the start goes just past it; one from the start stays at 0.
        check("back to the start", PausedSeek.offset(0, 12.5), PausedSeek.START);
        check("already at the start", PausedSeek.offset(0, 0), 0);
        check("elsewhere", PausedSeek.offset(7.5, 12.5), 7.5);
    }

    /* The elapsed time takes the total's form, so the text keeps its width past an hour. */
    static function timeText() {
        check("short video", TimeText.elapsedOfTotal(5, 24), "0:05 / 0:24");
        check("over ten minutes", TimeText.elapsedOfTotal(65, 754), "01:05 / 12:34");
        check("over an hour, before it", TimeText.elapsedOfTotal(3599, 5400), "0:59:59 / 1:30:00");
        check("over an hour, past it", TimeText.elapsedOfTotal(3600, 5400), "1:00:00 / 1:30:00");
        check("over ten hours", TimeText.clock(3600, 36000), "01:00:00");
        check("kept space", TimeText.widest(5400), "0:00:00 / 0:00:00");
        check("kept space, no duration yet", TimeText.widest(0), "0:00 / 0:00");
        // No total yet: the elapsed time says what it needs.
        check("without a total", TimeText.clock(3725), "1:02:05");
    }

    /* The logo keeps to its corner above the bar's strip, and grows with the player. */
    static function logoPlace() {
        var picture = {x: 0.0, y: 60.0, width: 640.0, height: 360.0};
        var show = function(box:LogoPlace.Box) return [box.x, box.y, box.width, box.height].join(",");
        check("bottom left, above the bar", show(LogoPlace.place(picture, 160, 60, 50, 1, false, true, 396)), "0,377.25,50,18.75");
        check("the bar below the picture", show(LogoPlace.place(picture, 160, 60, 50, 1, false, true, 456)), "0,401.25,50,18.75");
        check("top right at its own width", show(LogoPlace.place(picture, 160, 60, 0, 1, true, false, 396)), "480,60,160,60");
        check("twice the size", show(LogoPlace.place(picture, 160, 60, 50, 2, true, false, 396)), "540,60,100,37.5");
        check("never wider than the picture", LogoPlace.place(picture, 160, 60, 0, 5, false, false, 396).width, 640);
        check("no image yet", LogoPlace.place(picture, 0, 0, 50, 1, false, true, 396).width, 0);
        check("full screen", LogoPlace.scaleOf(1280, 900, 640, 480), 1.875);
    }

    /* Going on after a wait: by the estimate of the loaded time, and where the runtime
       ran out of data, by the bytes the next seconds need at the rate so far. */
    static function stall() {
        var wait = new Stall();
        wait.held(5);
        check("not yet loaded ahead", wait.canGoOn(6.5, 5000, 20000, 24, 2), false);
        check("loaded ahead", wait.canGoOn(7, 5000, 20000, 24, 2), true);
        check("near the end", (function() { wait.held(23); return wait.canGoOn(24, 19000, 20000, 24, 2); })(), true);
        // Ran out at 1 s with 40000 bytes: 2 s more need 80000 more, whatever the estimate says.
        wait.ranOut(1, 40000);
        check("the estimate alone is not enough", wait.canGoOn(5, 100000, 400000, 24, 2), false);
        check("the bytes needed", wait.canGoOn(5, 120000, 400000, 24, 2), true);
        check("all loaded", wait.canGoOn(5, 400000, 400000, 24, 2), true);
        wait.held(2);
        check("a later hold forgets the bytes", wait.canGoOn(4, 50000, 400000, 24, 2), true);
    }

    /* The server's answer: a 4xx refused the file, a 5xx failed to send it. */
    static function failureText() {
        var said = function(status:Int) return FailureText.message(FailureText.causeOf(status), "a.flv", status);
        check("403 is refused", said(403), "The web server refused the video file \u201ca.flv\u201d (HTTP 403).");
        check("500 is the server's failure", said(500), "The web server failed to send the video file \u201ca.flv\u201d (HTTP 500).");
        check("503 is the server's failure", said(503).indexOf("failed to send") > 0, true);
        check("410 is missing", said(410), "The video file \u201ca.flv\u201d is missing.");
        check("416 cannot be played", said(416).indexOf("cannot be played") > 0, true);
        check("a success is no failure", FailureText.causeOf(206), null);
    }

    static function addresses() {
        // A colon in a name is no scheme: only letters followed by "://" make one.
        check("colon in a name", Address.fromReference("Talk: 1.flv"), "Talk%3A%201.flv");
        check("drive-like name", Address.fromReference("c:clip.flv"), "c%3Aclip.flv");
        check("special letters", Address.fromReference("Episode #3 50% off?.flv"), "Episode%20%233%2050%25%20off%3F.flv");
        check("segments", Address.fromReference("videos/a #1.flv"), "videos/a%20%231.flv");
        check("dot segments", Address.fromReference("../up/x.flv"), "../up/x.flv");
        check("non-ASCII", Address.fromReference("Café.flv"), "Caf%C3%A9.flv");
        for (reference in ["http://host/v.flv?x=1", "https://host/a b.flv#t", "rtmp://host/app/v", "file:///tmp/x%20y.flv",
                           "//cdn.example/v.flv", "data:video/x-flv;base64,AAAA", "blob:null/1234"]) {
            check('"$reference" is used as typed', Address.fromReference(reference), reference);
        }
        check("file name of a path", Address.fileName("videos/Talk: 1.flv"), "Talk: 1.flv");
        check("file name of an address", Address.fileName("http://host/a%20b.flv?x=1#y"), "a b.flv");
    }

    /* An FLV's start: the header, then a script tag holding onMetaData. */
    static function flv(meta:BytesOutput->Void, ?type = 18):Bytes {
        var body = new BytesOutput();
        body.bigEndian = true;
        body.writeByte(2);
        body.writeUInt16(10);
        body.writeString("onMetaData");
        meta(body);
        var data = body.getBytes();
        var out = new BytesOutput();
        out.bigEndian = true;
        out.writeString("FLV");
        for (b in [1, 5, 0, 0, 0, 9, 0, 0, 0, 0]) out.writeByte(b);
        out.writeByte(type);
        out.writeByte(data.length >> 16);
        out.writeUInt16(data.length & 0xFFFF);
        for (_ in 0...7) out.writeByte(0);
        out.write(data);
        return out.getBytes();
    }

    static function key(out:BytesOutput, name:String) {
        out.writeUInt16(name.length);
        out.writeString(name);
    }

    static function number(out:BytesOutput, value:Float) {
        out.writeByte(0);
        out.writeDouble(value);
    }

    static function end(out:BytesOutput) {
        out.writeUInt16(0);
        out.writeByte(9);
    }

    static function metadata() {
        var bytes = flv(function(out) {
            out.writeByte(8); // an ECMA array, as encoders write it
            out.writeInt32(99); // a count that does not match
            key(out, "duration");
            number(out, 300.5);
            key(out, "width");
            number(out, 640);
            key(out, "height");
            number(out, 360);
            key(out, "stereo");
            out.writeByte(1);
            out.writeByte(1);
            key(out, "encoder");
            out.writeByte(2);
            out.writeUInt16(3);
            out.writeString("abc");
            key(out, "keyframes");
            out.writeByte(3);
            key(out, "times");
            out.writeByte(10);
            out.writeInt32(3);
            for (t in [0.0, 10.0, 20.0]) number(out, t);
            key(out, "filepositions");
            out.writeByte(10);
            out.writeInt32(3);
            for (p in [100.0, 5000.0, 9000.0]) number(out, p);
            end(out);
            end(out);
        });
        var info = FlvInfo.read(bytes, bytes.length);
        check("duration", info.duration, 300.5);
        check("size", [info.width, info.height], [640, 360]);
        // The keyframe index says what a number of loaded bytes plays to.
        check("loaded to the second keyframe", info.loadedTime(6000, 20000), 10);
        check("loaded before any keyframe", info.loadedTime(50, 20000), 0);
        check("loaded completely", info.loadedTime(20000, 20000), Math.POSITIVE_INFINITY);

        // Cut short: not yet known, until the bytes run past the limit.
        check("cut short", FlvInfo.read(bytes, bytes.length - 5), null);
        // Without an index the share of the bytes counts.
        var plain = flv(function(out) {
            out.writeByte(3);
            key(out, "duration");
            number(out, 24);
            end(out);
        });
        var info = FlvInfo.read(plain, plain.length);
        check("share of the bytes", info.loadedTime(500, 1000), 12);
        // Damaged metadata is left unread rather than half read.
        var damaged = flv(function(out) {
            out.writeByte(3);
            key(out, "duration");
            number(out, 24);
            key(out, "odd");
            out.writeByte(0x7F);
        });
        check("damaged metadata", FlvInfo.read(damaged, damaged.length).duration, 0);
        check("no script tag first", FlvInfo.read(flv(function(out) {}, 9), 40).duration, 0);
        check("not an FLV", FlvInfo.read(Bytes.ofString("<html>404</html>"), 16).isFlv, false);
    }
}
