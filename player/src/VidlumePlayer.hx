import flash.display.Bitmap;
import flash.display.DisplayObject;
import flash.display.Loader;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageDisplayState;
import flash.display.StageScaleMode;
import flash.events.AsyncErrorEvent;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.events.KeyboardEvent;
import flash.events.MouseEvent;
import flash.events.NetStatusEvent;
import flash.events.SecurityErrorEvent;
import flash.media.SoundMixer;
import flash.media.SoundTransform;
import flash.media.Video;
import flash.net.NetConnection;
import flash.net.NetStream;
import flash.net.URLRequest;
import flash.system.LoaderContext;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;
import flash.text.TextFormatAlign;

/**
 * The page's video player: plays the progressive FLV named by "source" in the area
 * above the control bar, with the poster until playback starts and the logo in its
 * corner. Everything it is told comes from the page's flashvars (see FlashVars).
 */
class VidlumePlayer extends Sprite {
    static inline var LOAD_WAIT_MS = 10000;

    var vars:FlashVars;
    var screen = new Sprite(); // the picture area; a click on it toggles playback
    var video = new Video();
    var poster:Loader;
    var bigPlay = new Sprite();
    var logo:Sprite;
    var logoImage:DisplayObject;
    var message:TextField;
    var bar:ControlBar;
    var stream:NetStream;
    var started = false;
    var startedAt = 0;
    var duration = 0.0;
    var videoWidth = 0;
    var videoHeight = 0;

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
        screen.addChild(video);
        screen.addEventListener(MouseEvent.CLICK, function(_) togglePlay());
        addChild(screen);

        bar = new ControlBar(vars);
        bar.onToggle = togglePlay;
        bar.onSeek = seekTo;
        bar.onMute = toggleMute;
        bar.onFullScreen = toggleFullScreen;
        addChild(bar);

        if (vars.poster != "" && !vars.autostart) {
            poster = loadImage(vars.poster, layout);
            screen.addChild(poster);
        }
        if (vars.logo != "") {
            logo = new Sprite();
            logo.addChild(loadImage(vars.logo, function() {
                logoImage = logo.getChildAt(0);
                layout();
            }));
            logo.alpha = vars.logoAlpha;
            if (vars.logoLink != "") {
                logo.buttonMode = true;
                logo.addEventListener(MouseEvent.CLICK, function(_) {
                    flash.Lib.getURL(new URLRequest(vars.logoLink), "_blank");
                });
            } else {
                logo.mouseEnabled = logo.mouseChildren = false;
            }
            addChild(logo);
        }
        drawBigPlay();
        screen.addChild(bigPlay);

        theStage().addEventListener(Event.RESIZE, function(_) layout());
        theStage().addEventListener(KeyboardEvent.KEY_DOWN, function(e:KeyboardEvent) {
            if (e.keyCode == 32) togglePlay();
        });
        addEventListener(Event.ENTER_FRAME, function(_) update());
        layout();
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

    function togglePlay() {
        if (message != null) {
            return;
        }
        if (!started) {
            start();
        } else if (bar.playing) {
            stream.pause();
        } else {
            stream.resume();
        }
        bar.playing = !bar.playing;
        bigPlay.visible = !bar.playing;
    }

    function start() {
        started = true;
        startedAt = flash.Lib.getTimer();
        if (poster != null) {
            poster.visible = false;
        }
        var connection = new NetConnection();
        connection.connect(null);
        stream = new NetStream(connection);
        stream.client = {onMetaData: onMetaData};
        stream.addEventListener(NetStatusEvent.NET_STATUS, onStatus);
        stream.addEventListener(IOErrorEvent.IO_ERROR, function(_) fail());
        stream.addEventListener(AsyncErrorEvent.ASYNC_ERROR, function(_) {});
        video.attachNetStream(stream);
        stream.play(Address.fromReference(vars.source));
    }

    function onMetaData(info:Dynamic) {
        if (info.duration != null) duration = info.duration;
        if (info.width != null && info.height != null) {
            videoWidth = Std.int(info.width);
            videoHeight = Std.int(info.height);
            layout();
        }
    }

    function onStatus(e:NetStatusEvent) {
        switch (e.info.code) {
            case "NetStream.Play.StreamNotFound", "NetStream.Play.Failed", "NetStream.Play.FileStructureInvalid":
                fail();
            case "NetStream.Play.Stop":
                // At the end: back to the start, paused.
                stream.pause();
                stream.seek(0);
                bar.playing = false;
                bigPlay.visible = true;
        }
    }

    function fail() {
        if (message != null) return;
        message = new TextField();
        message.selectable = false;
        message.mouseEnabled = false;
        message.autoSize = TextFieldAutoSize.CENTER;
        var format = new TextFormat("_sans", 14, 0xFFFFFF);
        format.align = TextFormatAlign.CENTER;
        message.defaultTextFormat = format;
        message.text = "The video could not be loaded.";
        addChild(message);
        bar.playing = false;
        bigPlay.visible = false;
        layout();
    }

    function seekTo(share:Float) {
        if (stream != null && duration > 0) stream.seek(share * duration);
    }

    function toggleMute() {
        bar.muted = !bar.muted;
        SoundMixer.soundTransform = new SoundTransform(bar.muted ? 0 : 1);
    }

    function toggleFullScreen() {
        try {
            theStage().displayState = theStage().displayState == StageDisplayState.NORMAL
                ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL;
        } catch (e:Dynamic) {
            // the page did not allow full screen
        }
    }

    function update() {
        if (stream == null || message != null) return;
        // Not every runtime reports a video that is not there (Ruffle only logs the
        // failed request): no byte within the wait counts as a failure too.
        if (stream.bytesLoaded == 0 && flash.Lib.getTimer() - startedAt > LOAD_WAIT_MS) {
            fail();
            return;
        }
        if (videoWidth == 0 && video.videoWidth > 0) {
            videoWidth = video.videoWidth;
            videoHeight = video.videoHeight;
            layout();
        }
        var total = stream.bytesTotal;
        bar.setProgress(total > 0 ? stream.bytesLoaded / total : 0, duration > 0 ? stream.time / duration : 0);
        bar.setTimes(stream.time, duration);
    }

    /** Fits width x height into the picture area, aspect ratio kept, centred. */
    function fit(target:DisplayObject, width:Float, height:Float) {
        var areaWidth = theStage().stageWidth;
        var areaHeight = Math.max(0, theStage().stageHeight - ControlBar.HEIGHT);
        if (width <= 0 || height <= 0) {
            width = areaWidth;
            height = areaHeight;
        }
        var scale = Math.min(areaWidth / width, areaHeight / height);
        target.width = width * scale;
        target.height = height * scale;
        target.x = (areaWidth - target.width) / 2;
        target.y = (areaHeight - target.height) / 2;
    }

    function layout() {
        var areaWidth = theStage().stageWidth;
        var areaHeight = Math.max(0, theStage().stageHeight - ControlBar.HEIGHT);
        screen.graphics.clear();
        screen.graphics.beginFill(0x000000);
        screen.graphics.drawRect(0, 0, areaWidth, areaHeight);
        screen.graphics.endFill();
        fit(video, videoWidth, videoHeight);
        if (poster != null && poster.content != null) {
            fit(poster, poster.content.width, poster.content.height);
        }
        bigPlay.x = areaWidth / 2;
        bigPlay.y = areaHeight / 2;
        if (logoImage != null) {
            var naturalWidth = logoImage.width / logoImage.scaleX;
            var naturalHeight = logoImage.height / logoImage.scaleY;
            var width = vars.logoWidth > 0 ? vars.logoWidth : naturalWidth;
            logoImage.width = width;
            logoImage.height = naturalWidth > 0 ? naturalHeight * width / naturalWidth : 0;
            logo.x = vars.logoRight ? areaWidth - logoImage.width : 0;
            logo.y = vars.logoBottom ? areaHeight - logoImage.height : 0;
        }
        if (message != null) {
            message.x = (areaWidth - message.width) / 2;
            message.y = (areaHeight - message.height) / 2;
        }
        bar.y = areaHeight;
        bar.layout(areaWidth);
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
