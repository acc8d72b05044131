import flash.display.Bitmap;
import flash.display.DisplayObject;
import flash.display.Loader;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageDisplayState;
import flash.display.StageScaleMode;
import flash.events.AsyncErrorEvent;
import flash.events.Event;
import flash.events.HTTPStatusEvent;
import flash.events.IOErrorEvent;
import flash.events.KeyboardEvent;
import flash.events.MouseEvent;
import flash.events.NetStatusEvent;
import flash.events.ProgressEvent;
import flash.events.SecurityErrorEvent;
import flash.geom.Rectangle;
import flash.media.SoundMixer;
import flash.media.SoundTransform;
import flash.media.Video;
import flash.net.NetConnection;
import flash.net.NetStream;
import flash.net.URLRequest;
import flash.net.URLRequestHeader;
import flash.net.URLStream;
import flash.system.LoaderContext;
import flash.utils.ByteArray;

/**
 * The page's video player: plays the progressive FLV named by "source" over the whole
 * player area, with the control bar laid over the bottom of the picture, the poster
 * until the picture moves and the logo in its corner of the picture. Everything it is
 * told comes from the page's flashvars (see FlashVars).
 *
 * The player never lets playback run past the loaded part of the file: it pauses the
 * stream there, shows the busy ring and goes on when a few seconds more have loaded,
 * so the clock always gives the time of the picture on screen.
 */
class VidlumePlayer extends Sprite {
    static inline var LOAD_WAIT_MS = 10000;
    static inline var HIDE_BAR_MS = 2000;
    /** Seconds loaded ahead before a stalled video goes on. */
    static inline var RESUME_AHEAD = 2.0;
    static inline var DRAG_SEEK_MS = 250;
    /** How long playback waits for the first look at the file before it asks for the file itself. */
    static inline var PROBE_WAIT_MS = 1500;
    /**
     * How long the picture of a file that has all loaded may stand still short of its
     * end before the file counts as damaged: once it has played a little, and before its
     * first frame, when a busy machine may still be starting it. The time is counted in
     * frames the player has run, at 20 a second, so a machine too busy to run the player
     * does not count as a video that stopped.
     */
    static inline var STANDSTILL_FRAMES = 100;
    static inline var STANDSTILL_AT_START_FRAMES = 300;
    static inline var DOUBLE_CLICK_MS = 800;
    /** Seconds the video plays under the poster, while its decoder brings the first frame:
     *  at least POSTER_PLAYED, and on until the runtime knows the size of a decoded picture,
     *  but never more than POSTER_PLAYED_MOST. */
    static inline var POSTER_PLAYED = 0.3;
    static inline var POSTER_PLAYED_MOST = 1.5;

    var vars:FlashVars;
    var screen = new Sprite(); // the whole player area; a click on it toggles playback
    var video = new Video();
    var poster:Loader;
    var bigPlay = new Sprite();
    var busy:BusyIndicator;
    var logo:Sprite;
    var logoImage:DisplayObject;
    var panel:FailurePanel;
    var bar:ControlBar;
    var stream:NetStream;
    var probe:URLStream;
    /** Counts the tries to load the video; what an earlier try's requests report is ignored. */
    var round = 0;
    /** The first look at the file has come to an answer (or a failure). */
    var probeAnswered = false;
    var createdAt = flash.Lib.getTimer();
    var lastClick = -10000;
    var info:FlvInfo;
    var started = false;
    var startedAt = 0;
    var duration = 0.0;
    var videoWidth = 0;
    var videoHeight = 0;
    var volume = 1.0;
    var muted = false;
    /** The stream is held where the loaded part ends, and the time it was held at. */
    var stalled = false;
    var stall = new Stall();
    /** A seek that waits for its part of the file to load; -1 for none. */
    var pendingSeek = -1.0;
    /** Time shown after a seek until the stream reports the new position. */
    var seekShown = -1.0;
    var seekShownUntil = 0;
    var lastDragSeek = 0;
    /** Where a drag on the seek bar has gone since its last seek; -1 for nowhere. */
    var dragShare = -1.0;
    /** A seek made while paused, which plays the stream for a moment, silent, to draw its frame. */
    var peek = new PausedSeek();
    /** The page can tell the player when the sound is off (see applyVolume). */
    var hearsBack = false;
    var ended = false;
    /** The stream time when play was pressed; the poster goes when the picture moves on from it. */
    var posterUntilMove = -1.0;
    var clock = new TimeWatch();
    /** Where the runtime said the stream stopped short of its end, and frames run since; -1 for none. */
    var stopShortAt = 0.0;
    var stopShortFrames = -1;
    static inline var STOP_SHORT_FRAMES = 40;
    var lastMouseMove = flash.Lib.getTimer(); // the bar shows for a moment at the start
    var pointerInside = true;
    /** The player's size on the page, which the logo's size is for. */
    var pageWidth = flash.Lib.current.stage.stageWidth;
    var pageHeight = flash.Lib.current.stage.stageHeight;

    static function main() {
        var stage = flash.Lib.current.stage;
        stage.scaleMode = StageScaleMode.NO_SCALE;
        stage.align = StageAlign.TOP_LEFT;
        flash.Lib.current.addChild(new VidlumePlayer(new FlashVars(flash.Lib.current.loaderInfo.parameters)));
    }

    public function new(vars:FlashVars) {
        super();
        this.vars = vars;
        video.smoothing = true;
        screen.buttonMode = true;
        screen.doubleClickEnabled = true;
        screen.addChild(video);
        screen.addEventListener(MouseEvent.CLICK, function(_) {
            lastClick = flash.Lib.getTimer();
            togglePlay();
        });
        screen.addEventListener(MouseEvent.DOUBLE_CLICK, function(_) {
            // The double click's first click paused or played; full screen changes nothing else.
            if (flash.Lib.getTimer() - lastClick < DOUBLE_CLICK_MS) togglePlay();
            toggleFullScreen();
        });
        addChild(screen);

        if (vars.poster != "" && !vars.autostart) {
            poster = loadImage(vars.poster, layout);
            poster.mouseEnabled = poster.mouseChildren = false;
            screen.addChild(poster);
        }
        drawBigPlay();
        screen.addChild(bigPlay);
        busy = new BusyIndicator(vars.controlColor);
        screen.addChild(busy);

        if (vars.logo != "") {
            logo = new Sprite();
            logo.addChild(loadImage(vars.logo, function() {
                logoImage = logo.getChildAt(0);
                layout();
            }));
            logo.alpha = vars.logoAlpha;
            // A logo nobody can see is no link a visitor could hit by accident.
            if (vars.logoLink != "" && vars.logoAlpha > 0) {
                logo.buttonMode = true;
                logo.addEventListener(MouseEvent.CLICK, function(_) {
                    flash.Lib.getURL(new URLRequest(vars.logoLink), "_blank");
                });
            } else {
                logo.mouseEnabled = logo.mouseChildren = false;
            }
            addChild(logo);
        }

        bar = new ControlBar(vars);
        bar.onToggle = togglePlay;
        bar.onSeek = seekTo;
        bar.onMute = function() setVolume(volume, !muted);
        bar.onVolume = function(level) setVolume(level, level == 0);
        bar.onFullScreen = toggleFullScreen;
        addChild(bar);

        var stage = theStage();
        stage.addEventListener(Event.RESIZE, function(_) {
            if (stage.displayState == StageDisplayState.NORMAL) {
                pageWidth = stage.stageWidth;
                pageHeight = stage.stageHeight;
            }
            layout();
        });
        stage.addEventListener(Event.FULLSCREEN, function(_) layout());
        stage.addEventListener(KeyboardEvent.KEY_DOWN, onKey);
        stage.addEventListener(MouseEvent.MOUSE_MOVE, function(e:MouseEvent) {
            // A runtime may report moves outside the player too.
            if (e.stageX < 0 || e.stageY < 0 || e.stageX >= stage.stageWidth || e.stageY >= stage.stageHeight) return;
            lastMouseMove = flash.Lib.getTimer();
            pointerInside = true;
        });
        stage.addEventListener(MouseEvent.MOUSE_DOWN, function(_) {
            // Keys act from the first click on the player.
            lastMouseMove = flash.Lib.getTimer();
            stage.focus = stage;
        });
        stage.addEventListener(Event.MOUSE_LEAVE, function(_) pointerInside = false);
        addEventListener(Event.ENTER_FRAME, function(_) update());
        try {
            if (flash.external.ExternalInterface.available) {
                flash.external.ExternalInterface.addCallback("vidlumeLevelSet", function(level:Float) {
                    if (level == 0) peek.noteSilent();
                });
                hearsBack = true;
                // Not every runtime tells the player that the pointer left it; the page does.
                flash.external.ExternalInterface.addCallback("vidlumePointer", function(inside:Bool) {
                    pointerInside = inside;
                    if (inside) lastMouseMove = flash.Lib.getTimer();
                });
                flash.external.ExternalInterface.call(
                    "function(id){var e=id&&document.getElementById(id);"
                    + "var list=e?[e]:document.querySelectorAll('ruffle-object,ruffle-embed,ruffle-player');"
                    + "for(var i=0;i<list.length;i++){(function(el){var tell=function(inside){return function(){"
                    + "setTimeout(function(){if(typeof el.vidlumePointer=='function')el.vidlumePointer(inside);},0);};};"
                    + "el.addEventListener('pointerleave',tell(false));el.addEventListener('pointerenter',tell(true));"
                    + "})(list[i]);}}",
                    flash.external.ExternalInterface.objectID);
            }
        } catch (e:Dynamic) {
            // the page does not let the player run script
        }
        layout();
        startProbe();
        if (vars.autostart) togglePlay();
    }

    inline function theStage():flash.display.Stage {
        return flash.Lib.current.stage;
    }

    function loadImage(reference:String, done:Void->Void):Loader {
        var loader = new Loader();
        loader.contentLoaderInfo.addEventListener(Event.COMPLETE, function(_) {
            try {
                cast(loader.content, Bitmap).smoothing = true;
            } catch (e:Dynamic) {
                // an image from another site cannot be touched; it shows unsmoothed
            }
            done();
        });
        // A poster or logo that does not load is left out; the video still plays.
        loader.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});
        loader.contentLoaderInfo.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) {});
        loader.load(new URLRequest(Address.fromReference(reference)), new LoaderContext(true));
        return loader;
    }

    /* ---- The first bytes of the file: is it there, and what its metadata says -------- */

    /**
     * Asks for the video at once, before play: the server's answer tells a missing or
     * refused file within moments, and the file's first bytes give the duration and
     * picture size. The request ends as soon as the metadata has been read.
     */
    function startProbe() {
        var bytes = new ByteArray();
        var status = 0;
        var probe = new URLStream();
        var mine = round;
        this.probe = probe;
        var done = function() {
            probeAnswered = true;
            try probe.close() catch (e:Dynamic) {}
        };
        var read = function(complete:Bool) {
            if (info != null || panel != null || mine != round) return;
            try {
                if (probe.bytesAvailable > 0) probe.readBytes(bytes, bytes.length, probe.bytesAvailable);
            } catch (e:Dynamic) {}
            probeAnswered = true;
            var found = FlvInfo.read(haxe.io.Bytes.ofData(bytes), bytes.length);
            if (found == null && complete) found = FlvInfo.read(haxe.io.Bytes.ofData(bytes), FlvInfo.ENOUGH);
            if (found == null && bytes.length >= FlvInfo.ENOUGH) found = FlvInfo.read(haxe.io.Bytes.ofData(bytes), FlvInfo.ENOUGH);
            if (found == null) return;
            done();
            if (!found.isFlv && !isMp4(bytes)) {
                fail("unplayable", 0); // a web page or anything else that is no video
                return;
            }
            takeInfo(found);
        };
        probe.addEventListener(HTTPStatusEvent.HTTP_STATUS, function(e:HTTPStatusEvent) {
            if (mine != round) return;
            status = e.status;
            if (status >= 400) {
                done();
                fail(FailureText.causeOf(status), status);
            }
        });
        probe.addEventListener(ProgressEvent.PROGRESS, function(_) read(false));
        probe.addEventListener(Event.COMPLETE, function(_) {
            if (mine != round) return;
            read(true);
            if (bytes.length == 0 && status < 400) fail("unplayable", 0); // an empty file
        });
        probe.addEventListener(IOErrorEvent.IO_ERROR, function(_) {
            if (status >= 400 || panel != null || info != null || mine != round) return;
            if (bytes.length > 0 || probe.bytesAvailable > 0 || (status >= 200 && status < 300)) {
                done();
                fail("network", 0); // the server answered, then the answer broke off
                return;
            }
            recheck();
        });
        // Another site that does not let the player read its file: playback tells.
        probe.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) if (mine == round) done());
        try {
            var request = new URLRequest(Address.fromReference(vars.source));
            // The first bytes are enough. A server that ignores the range sends the
            // whole file, and a runtime that cannot end a request early (Ruffle) loads it.
            request.requestHeaders = [new URLRequestHeader("Range", "bytes=0-" + (FlvInfo.ENOUGH - 1))];
            probe.load(request);
        } catch (e:Dynamic) {
            probeAnswered = true;
        }
    }

    /**
     * After a request for the file failed without a word from the server (all a runtime
     * that hands over no part of a broken download says): asks for the file's first few
     * bytes. If they come, the server is there and has the file, so the first answer
     * broke off on the way.
     */
    function recheck() {
        var again = new URLStream();
        var status = 0;
        var mine = round;
        var answer = function(cause:String, code:Int) {
            if (mine != round) return;
            probeAnswered = true;
            try again.close() catch (e:Dynamic) {}
            if (cause != null) fail(cause, code);
        };
        again.addEventListener(HTTPStatusEvent.HTTP_STATUS, function(e:HTTPStatusEvent) {
            status = e.status;
            if (status >= 400) answer(FailureText.causeOf(status) == "missing" ? "missing" : "server", status);
        });
        again.addEventListener(Event.COMPLETE, function(_) {
            if (status < 400) answer(again.bytesAvailable > 0 ? "network" : "unknown", 0);
        });
        again.addEventListener(IOErrorEvent.IO_ERROR, function(_) if (status < 400) answer("unknown", 0));
        again.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) answer("unknown", 0));
        try {
            var request = new URLRequest(Address.fromReference(vars.source));
            request.requestHeaders = [new URLRequestHeader("Range", "bytes=0-15")];
            again.load(request);
        } catch (e:Dynamic) {
            answer("unknown", 0);
        }
    }

    /** An MP4 (F4V) file, which the runtime may play too: it starts with one of these boxes. */
    static function isMp4(bytes:ByteArray):Bool {
        if (bytes.length < 8) return false;
        bytes.position = 4;
        var box = bytes.readUTFBytes(4);
        return box == "ftyp" || box == "moov" || box == "mdat";
    }

    function takeInfo(found:FlvInfo) {
        if (info != null) return;
        info = found;
        if (duration <= 0 && found.duration > 0) duration = found.duration;
        if (videoWidth == 0 && found.width > 0 && found.height > 0) {
            videoWidth = found.width;
            videoHeight = found.height;
        }
        layout();
    }

    /* ---- Playback ------------------------------------------------------------------- */

    function togglePlay() {
        if (panel != null) return;
        if (!started) {
            bar.playing = true; // before start(): a stream opened while not playing is paused
            start();
        } else if (bar.playing) {
            bar.playing = false;
            stalled = false;
            if (stream != null) stream.pause();
        } else {
            bar.playing = true;
            ended = false;
            if (peek.active) {
                peek.cancel();
                applyVolume();
            }
            if (pendingSeek < 0 && stream != null) stream.resume();
        }
        posterUntilMove = stream != null ? stream.time : 0;
        clock.restart(flash.Lib.getTimer());
        bigPlay.visible = !bar.playing;
    }

    /**
     * Playback starts once the first look at the file has answered, or has taken too
     * long: a download that breaks off under the player's own stream freezes Ruffle, so
     * a file the first look found broken is never asked for again.
     */
    function start() {
        started = true;
        startedAt = flash.Lib.getTimer();
        if (probeAnswered || startedAt - createdAt > PROBE_WAIT_MS) openStream();
    }

    function openStream() {
        if (stream != null || panel != null) return;
        var connection = new NetConnection();
        connection.connect(null);
        var mine = stream = new NetStream(connection);
        stream.client = {onMetaData: function(data) if (mine == stream) onMetaData(data)};
        stream.addEventListener(NetStatusEvent.NET_STATUS, function(e) if (mine == stream) onStatus(e));
        stream.addEventListener(IOErrorEvent.IO_ERROR, function(_) {
            if (mine == stream) fail(stream.bytesLoaded > 0 ? "network" : "unknown", 0);
        });
        stream.addEventListener(AsyncErrorEvent.ASYNC_ERROR, function(_) {});
        video.attachNetStream(stream);
        applyVolume();
        stream.play(Address.fromReference(vars.source));
        if (!bar.playing) stream.pause();
    }

    function onMetaData(data:Dynamic) {
        if (data == null) return;
        if (duration <= 0 && Std.isOfType(data.duration, Float)) duration = data.duration;
        if (videoWidth == 0 && data.width != null && data.height != null) {
            videoWidth = Std.int(data.width);
            videoHeight = Std.int(data.height);
            layout();
        }
    }

    function onStatus(e:NetStatusEvent) {
        switch (e.info.code) {
            case "NetStream.Seek.Notify":
                peek.noteSeekDone();
            case "NetStream.Buffer.Empty":
                // The runtime ran out of data before the estimate of the loaded part said
                // (Ruffle's clock runs on without it): wait where it ran out.
                if (bar.playing && !stalled && pendingSeek < 0 && !peek.active && loadedTime() < Math.POSITIVE_INFINITY) {
                    stalled = true;
                    stall.ranOut(stream.time, stream.bytesLoaded);
                    stream.pause();
                }
            case "NetStream.Play.StreamNotFound":
                fail(stream.bytesLoaded > 0 ? "network" : "missing", 0);
            case "NetStream.Play.Failed":
                fail(stream.bytesLoaded > 0 ? "network" : "unknown", 0);
            case "NetStream.Play.FileStructureInvalid":
                fail(stream.time > 0 ? "damaged" : "unplayable", 0);
            case "NetStream.Play.Stop":
                // The runtime also stops where the loaded part ends; only the file's end is the end.
                if (loadedTime() == Math.POSITIVE_INFINITY) {
                    if (duration <= 0 || stream.time >= duration - 1) {
                        finish();
                    } else if (bar.playing && pendingSeek < 0 && !peek.active) {
                        // All of the file is there, and it stops short of its length: damaged,
                        // once the picture stays where it stopped.
                        stopShortAt = stream.time;
                        stopShortFrames = 0;
                    }
                }
        }
    }

    /** At the end: back to the start, paused, with the poster or the first frame and the play button. */
    function finish() {
        if (ended) return;
        ended = true;
        stalled = false;
        pendingSeek = -1;
        bar.playing = false;
        bigPlay.visible = true;
        stream.pause();
        stream.seek(PausedSeek.offset(0, stream.time));
        seekShown = 0;
        seekShownUntil = flash.Lib.getTimer() + 1500;
        if (poster != null) {
            poster.visible = true;
        } else {
            startPeek();
        }
    }

    /** Fails for good: the message over the poster; nothing is left to click into a broken state. */
    function fail(cause:String, status:Int) {
        if (panel != null) return;
        panel = new FailurePanel(cause, Address.fileName(vars.source), status);
        panel.addEventListener(MouseEvent.CLICK, function(_) retry());
        if (stream != null) {
            try stream.close() catch (e:Dynamic) {}
        }
        video.visible = false;
        bar.playing = false;
        bar.visible = false;
        bigPlay.visible = false;
        busy.visible = false;
        screen.buttonMode = false;
        if (poster != null) poster.visible = true;
        addChild(panel);
        if (logo != null) addChild(logo);
        layout();
        try {
            if (flash.external.ExternalInterface.available) {
                flash.external.ExternalInterface.call("console.warn", "vidlume: " + panel.text);
            }
        } catch (e:Dynamic) {}
    }

    /**
     * Tries the video again, as the visitor asked with a click on the failure panel or
     * Enter or Space: the panel goes, the file is looked at and loaded afresh and
     * plays once it is there.
     */
    function retry() {
        if (panel == null) return;
        removeChild(panel);
        panel = null;
        round++;
        if (probe != null) {
            try probe.close() catch (e:Dynamic) {}
        }
        video.attachNetStream(null);
        stream = null;
        info = null;
        probeAnswered = false;
        createdAt = flash.Lib.getTimer();
        started = ended = stalled = false;
        pendingSeek = seekShown = dragShare = -1;
        stopShortFrames = -1;
        peek.cancel();
        bar.setTarget(-1);
        video.visible = true;
        screen.buttonMode = true;
        startProbe();
        togglePlay();
    }

    /* ---- Seeking -------------------------------------------------------------------- */

    /** The time up to which the loaded part of the file plays; infinite once it has all loaded. */
    function loadedTime():Float {
        if (stream == null) return 0;
        if (duration <= 0) return Math.POSITIVE_INFINITY; // nothing to measure against: the runtime decides
        var total:Float = stream.bytesTotal;
        var loaded:Float = stream.bytesLoaded;
        if (info != null) return info.loadedTime(loaded, total);
        return total > 0 && loaded >= total ? Math.POSITIVE_INFINITY : total > 0 ? duration * loaded / total : 0;
    }

    function seekTo(share:Float, done:Bool) {
        if (panel != null || duration <= 0) return;
        var now = flash.Lib.getTimer();
        var target = share * duration;
        seekShown = target;
        seekShownUntil = now + 1000;
        // The picture follows a drag a few times a second; update() makes the last move's seek.
        dragShare = done ? -1 : share;
        if (!done && now - lastDragSeek < DRAG_SEEK_MS) return;
        dragShare = -1;
        lastDragSeek = now;
        if (!started) {
            bar.playing = true; // before start(): a stream opened while not playing is paused
            start();
            bigPlay.visible = false;
            posterUntilMove = 0;
        }
        openStream(); // the duration is known, so the first look has answered
        ended = false;
        if (target > loadedTime() - 0.5 && target > 0) {
            // Past the loaded part: wait there, then play from it.
            pendingSeek = target;
            stalled = false;
            stream.pause();
            bar.setTarget(share);
            return;
        }
        pendingSeek = -1;
        bar.setTarget(-1);
        seekNow(target);
    }

    function seekNow(target:Float) {
        stream.seek(PausedSeek.offset(target, stream.time));
        seekShown = target;
        seekShownUntil = flash.Lib.getTimer() + 1000;
        if (bar.playing) {
            stalled = false;
            stream.resume();
        } else {
            startPeek();
        }
    }

    /** A seek made while paused: the sound goes off, and update() draws the new picture (PausedSeek). */
    function startPeek() {
        stream.pause();
        var silentAlready = peek.active;
        peek.begin(flash.Lib.getTimer());
        if (!silentAlready) applyVolume();
        if (!hearsBack) peek.noteSilent(); // the runtime takes the level at once
    }

    function skip(seconds:Float) {
        if (duration <= 0) return;
        var from = pendingSeek >= 0 ? pendingSeek : shownTime();
        seekTo(Math.max(0, Math.min(duration, from + seconds)) / duration, true);
    }

    /* ---- Sound ---------------------------------------------------------------------- */

    function setVolume(level:Float, mute:Bool) {
        volume = Math.max(0, Math.min(1, level));
        muted = mute;
        if (!mute && volume == 0) volume = 0.5;
        bar.volume = volume;
        bar.muted = muted;
        applyVolume();
    }

    /**
     * Sets the level of the video's sound. Flash Player takes it from the sound
     * transforms. Ruffle ignores them for a NetStream's sound in ActionScript 3, so the
     * level also goes to the page's Ruffle element, whose volume covers all its sound.
     */
    function applyVolume() {
        var level = muted || peek.active ? 0 : volume;
        SoundMixer.soundTransform = new SoundTransform(level);
        if (stream != null) stream.soundTransform = new SoundTransform(level);
        try {
            if (flash.external.ExternalInterface.available) {
                flash.external.ExternalInterface.call(
                    // Later, not within the call: Ruffle is busy running this player. Then
                    // the player hears that the level is set.
                    "function(level,id){setTimeout(function(){var e=id&&document.getElementById(id);"
                    + "var list=e?[e]:document.querySelectorAll('ruffle-object,ruffle-embed,ruffle-player');"
                    + "for(var i=0;i<list.length;i++){if('volume' in list[i])list[i].volume=level;}"
                    + "for(var i=0;i<list.length;i++){if(typeof list[i].vidlumeLevelSet=='function')"
                    + "list[i].vidlumeLevelSet(level);}},0);}",
                    level, flash.external.ExternalInterface.objectID);
            }
        } catch (e:Dynamic) {
            // the page does not let the player run script
        }
    }

    /* ---- Keys and screen ------------------------------------------------------------ */

    function onKey(e:KeyboardEvent) {
        lastMouseMove = flash.Lib.getTimer(); // the bar shows what a key did
        var code = e.keyCode;
        if (panel != null) {
            if (code == 13 || code == 32) retry(); // Enter, Space: try again
            return;
        }
        switch (code) {
            case 32, 75: togglePlay(); // Space, K
            case 37: skip(-5); // Left
            case 39: skip(5); // Right
            case 74: skip(-10); // J
            case 76: skip(10); // L
            case 36: if (duration > 0) seekTo(0, true); // Home
            case 35: if (duration > 0) seekTo(0.999, true); // End
            case 77: setVolume(volume, !muted); // M
            case 70: toggleFullScreen(); // F
            case 38: setVolume(volume + 0.1, false); // Up
            case 40: setVolume(volume - 0.1, volume - 0.1 <= 0.001); // Down
            default:
                if (code >= 48 && code <= 57) seekTo((code - 48) / 10, true);
                else if (code >= 96 && code <= 105) seekTo((code - 96) / 10, true);
        }
    }

    function toggleFullScreen() {
        try {
            theStage().displayState = theStage().displayState == StageDisplayState.NORMAL
                ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL;
        } catch (e:Dynamic) {
            // the page did not allow full screen
        }
    }

    /* ---- Each frame ----------------------------------------------------------------- */

    /** The time of the picture on screen. */
    function shownTime():Float {
        if (stream == null) return 0;
        if (pendingSeek >= 0) return pendingSeek;
        if (seekShown >= 0) return seekShown;
        return Math.min(stream.time, loadedTime());
    }

    /** Each frame: the stream opened, the picture's size and the seeks followed, the playback watched, the bar painted. */
    function update() {
        var now = flash.Lib.getTimer();
        busy.step();
        if (panel != null) return;
        // The bar stays while the pointer rests on it, and goes soon after the pointer
        // rests elsewhere or leaves the player.
        var onBar = pointerInside && theStage().mouseY >= bar.y && theStage().mouseY < bar.y + ControlBar.HEIGHT;
        bar.visible = !bar.playing || bar.busy() || (pointerInside && (now - lastMouseMove < HIDE_BAR_MS || onBar));
        placeLogo();
        if (stream == null && started && (probeAnswered || now - createdAt > PROBE_WAIT_MS)) openStream();
        if (stream == null) {
            busy.visible = bar.playing && now - startedAt > 700;
            bar.setTimes(0, duration);
            return;
        }
        // Not every runtime reports a video that is not there: no byte within the wait counts as a failure too.
        if (stream.bytesLoaded == 0 && !probeAnswered && now - startedAt > LOAD_WAIT_MS) {
            fail("unknown", 0);
            return;
        }
        followPictureSize();
        if (dragShare >= 0 && now - lastDragSeek >= DRAG_SEEK_MS) seekTo(dragShare, false);
        var time = stream.time;
        clock.observe(time, now);
        followSeeks(now, time);
        var loaded = loadedTime();
        makeWaitingSeek(loaded);
        if (!bar.playing || stalled) clock.forgetFrames();
        if (bar.playing && pendingSeek < 0 && !watchPlayback(now, time, loaded)) return;
        paint(now, time, loaded);
    }

    function followPictureSize() {
        if (video.videoWidth > 0 && (videoWidth != video.videoWidth || videoHeight != video.videoHeight)) {
            videoWidth = video.videoWidth;
            videoHeight = video.videoHeight;
            layout();
        }
    }

    /** Ends the shown seek time once the runtime has made it, and takes the paused seek's steps. */
    function followSeeks(now:Int, time:Float) {
        if (seekShown >= 0 && (now > seekShownUntil || Math.abs(time - seekShown) < 1.5 && !peek.active)) seekShown = -1;
        switch (peek.step(now, time)) {
            case Resume:
                stream.resume();
            case Hold:
                // The new picture is drawn: it takes the poster's place, and the seek
                // back to its frame cuts off the sound the stream ran ahead.
                stream.pause();
                stream.seek(PausedSeek.offset(peek.holdAt, time));
                if (poster != null) poster.visible = false;
            case Unmute:
                applyVolume();
            case Wait:
        }
    }

    /** Makes a seek that waited for its data once enough of it is loaded. */
    function makeWaitingSeek(loaded:Float) {
        if (pendingSeek >= 0 && loaded >= Math.min(pendingSeek + RESUME_AHEAD, duration)) {
            var target = pendingSeek;
            pendingSeek = -1;
            bar.setTarget(-1);
            seekNow(target);
        }
    }

    /** While playing: waits for data when the playback catches up with it, ends a file whose runtime does not say so, and fails a stream that stops short. False once it has failed. */
    function watchPlayback(now:Int, time:Float, loaded:Float):Bool {
        if (!stalled && loaded < Math.POSITIVE_INFINITY && time >= loaded - 0.25) {
            stalled = true;
            stall.held(time);
            stream.pause();
        } else if (stalled && stall.canGoOn(loaded, stream.bytesLoaded, stream.bytesTotal, duration, RESUME_AHEAD)) {
            stalled = false;
            stream.resume();
        }
        // The end of a file whose runtime does not say so.
        if (loaded == Math.POSITIVE_INFINITY && duration > 0 && time >= duration - 0.5 && clock.stillFor(now) > 600) {
            finish();
        }
        if (stopShortFrames >= 0) {
            if (time != stopShortAt || stalled || peek.active) {
                stopShortFrames = -1;
            } else if (++stopShortFrames > STOP_SHORT_FRAMES && clock.stillFor(now) > STOP_SHORT_FRAMES * 50) {
                fail("damaged", 0);
                return false;
            }
        }
        // A file that has all loaded and stops well short of its length, without a word.
        var standstill = time > 0.5 ? STANDSTILL_FRAMES : STANDSTILL_AT_START_FRAMES;
        if (loaded == Math.POSITIVE_INFINITY && duration > 0 && time < duration - 1 && !stalled
            && !peek.active && seekShown < 0
            && clock.countStillFrame() > standstill && clock.stillFor(now) > standstill * 50) {
            fail("damaged", 0);
            return false;
        }
        return true;
    }

    /** The poster, the busy ring and the bar's progress and times. */
    function paint(now:Int, time:Float, loaded:Float) {
        // The runtime tells nothing of the decoded picture, and a decoder may hand over the
        // first frame a moment after the time moves (Ruffle's H.264), so the poster stays
        // until the video has played a little.
        var played = Math.abs(time - posterUntilMove);
        var moving = played >= POSTER_PLAYED && (video.videoWidth > 0 || played >= POSTER_PLAYED_MOST);
        if (poster != null && poster.visible && bar.playing && moving) poster.visible = false;
        busy.visible = bar.playing && (stalled || pendingSeek >= 0 || clock.stillFor(now) > 700);
        var total:Float = stream.bytesTotal;
        var shown = shownTime();
        bar.setProgress(loaded == Math.POSITIVE_INFINITY ? 1 : duration > 0 ? Math.min(1, loaded / duration) : total > 0 ? stream.bytesLoaded / total : 0,
                        duration > 0 ? Math.min(1, shown / duration) : 0);
        bar.setTimes(shown, duration);
    }

    /* ---- Layout --------------------------------------------------------------------- */

    /** width x height fitted into the player area, aspect ratio kept, centred. */
    function fitted(width:Float, height:Float):Rectangle {
        var areaWidth = theStage().stageWidth;
        var areaHeight = theStage().stageHeight;
        if (width <= 0 || height <= 0) return new Rectangle(0, 0, areaWidth, areaHeight);
        var scale = Math.min(areaWidth / width, areaHeight / height);
        return new Rectangle((areaWidth - width * scale) / 2, (areaHeight - height * scale) / 2, width * scale,
                             height * scale);
    }

    static function place(target:DisplayObject, rect:Rectangle) {
        target.x = rect.x;
        target.y = rect.y;
        target.width = rect.width;
        target.height = rect.height;
    }

    /** The rectangle of what the picture area shows now: the poster before play, else the video. */
    function pictureRect():Rectangle {
        if (poster != null && poster.visible && poster.content != null) {
            return fitted(poster.content.width / poster.content.scaleX, poster.content.height / poster.content.scaleY);
        }
        return fitted(videoWidth, videoHeight);
    }

    function layout() {
        var areaWidth = theStage().stageWidth;
        var areaHeight = theStage().stageHeight;
        screen.graphics.clear();
        screen.graphics.beginFill(0x000000);
        screen.graphics.drawRect(0, 0, areaWidth, areaHeight);
        screen.graphics.endFill();
        place(video, fitted(videoWidth, videoHeight));
        if (poster != null && poster.content != null) {
            place(poster, fitted(poster.content.width / poster.content.scaleX,
                                 poster.content.height / poster.content.scaleY));
        }
        bigPlay.x = busy.x = areaWidth / 2;
        bigPlay.y = busy.y = areaHeight / 2;
        if (panel != null) panel.layout(areaWidth, areaHeight);
        bar.y = areaHeight - ControlBar.HEIGHT;
        bar.layout(areaWidth);
        placeLogo();
    }

    /** The logo in its corner of the picture, grown or shrunk with the player (LogoPlace). */
    function placeLogo() {
        if (logoImage == null) return;
        var picture = pictureRect();
        var stage = theStage();
        var scale = LogoPlace.scaleOf(stage.stageWidth, stage.stageHeight, pageWidth, pageHeight);
        var box = LogoPlace.place({x: picture.x, y: picture.y, width: picture.width, height: picture.height},
                                  logoImage.width / logoImage.scaleX, logoImage.height / logoImage.scaleY,
                                  vars.logoWidth, scale, vars.logoRight, vars.logoBottom, bar.y);
        logoImage.width = box.width;
        logoImage.height = box.height;
        logo.x = box.x;
        logo.y = box.y;
    }

    function drawBigPlay() {
        var g = bigPlay.graphics;
        g.beginFill(vars.darkColor, 0.6);
        g.drawCircle(0, 0, 28);
        g.endFill();
        g.beginFill(vars.controlColor);
        g.moveTo(-9, -14);
        g.lineTo(15, 0);
        g.lineTo(-9, 14);
        g.lineTo(-9, -14);
        g.endFill();
        bigPlay.mouseEnabled = false;
    }
}
