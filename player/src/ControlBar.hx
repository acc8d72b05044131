import flash.display.Graphics;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/**
 * The strip under the picture: play/pause, a seek bar that shows what has loaded,
 * elapsed and total time, mute and full screen. Background in the dark colour, the
 * seek track in the bright colour, icons in the control colour and the control under
 * the pointer in the hover colour.
 */
class ControlBar extends Sprite {
    public static inline var HEIGHT = 24;
    static inline var BUTTON = 24;

    public var onToggle:Void->Void;
    public var onMute:Void->Void;
    public var onFullScreen:Void->Void;
    public var onSeek:Float->Void;

    var vars:FlashVars;
    var playButton:IconButton;
    var muteButton:IconButton;
    var fullButton:IconButton;
    var seek:Sprite;
    var time:TextField;
    var barWidth = 0.0;
    var seekWidth = 0.0;
    var seekHover = false;
    var loaded = 0.0;
    var played = 0.0;

    public var playing(default, set):Bool = false;
    public var muted(default, set):Bool = false;

    public function new(vars:FlashVars) {
        super();
        this.vars = vars;
        playButton = new IconButton(vars, drawPlayIcon, function() onToggle());
        muteButton = new IconButton(vars, drawMuteIcon, function() onMute());
        fullButton = new IconButton(vars, drawFullScreenIcon, function() onFullScreen());
        seek = new Sprite();
        seek.buttonMode = true;
        seek.addEventListener(MouseEvent.ROLL_OVER, function(_) { seekHover = true; drawSeek(); });
        seek.addEventListener(MouseEvent.ROLL_OUT, function(_) { seekHover = false; drawSeek(); });
        seek.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
            if (seekWidth > 0) onSeek(Math.max(0, Math.min(1, e.localX / seekWidth)));
        });
        time = new TextField();
        time.selectable = false;
        time.mouseEnabled = false;
        time.autoSize = TextFieldAutoSize.LEFT;
        time.defaultTextFormat = new TextFormat("_sans", 11, vars.controlColor);
        for (child in [playButton, seek, (cast time : flash.display.DisplayObject), muteButton, fullButton]) {
            addChild(child);
        }
        setTimes(0, 0);
    }

    public function layout(width:Float) {
        barWidth = width;
        graphics.clear();
        graphics.beginFill(vars.darkColor);
        graphics.drawRect(0, 0, width, HEIGHT);
        graphics.endFill();
        fullButton.x = width - BUTTON;
        muteButton.x = width - 2 * BUTTON;
        time.x = muteButton.x - time.width - 4;
        time.y = (HEIGHT - time.height) / 2;
        seek.x = BUTTON + 4;
        seekWidth = Math.max(0, time.x - 8 - seek.x);
        drawSeek();
    }

    /** Shares of the video loaded and played, each from 0 to 1. */
    public function setProgress(loaded:Float, played:Float) {
        if (loaded != this.loaded || played != this.played) {
            this.loaded = loaded;
            this.played = played;
            drawSeek();
        }
    }

    public function setTimes(elapsed:Float, total:Float) {
        var text = clock(elapsed) + " / " + clock(total);
        if (time.text != text) {
            var widthBefore = time.width;
            time.text = text;
            if (time.width != widthBefore) layout(barWidth);
        }
    }

    static function clock(seconds:Float):String {
        var s = Std.int(Math.max(0, seconds));
        var secs = s % 60;
        return Std.int(s / 60) + ":" + (secs < 10 ? "0" : "") + secs;
    }

    function set_playing(value:Bool):Bool {
        if (value != playing) {
            playing = value;
            playButton.redraw();
        }
        return value;
    }

    function set_muted(value:Bool):Bool {
        if (value != muted) {
            muted = value;
            muteButton.redraw();
        }
        return value;
    }

    function drawSeek() {
        var g = seek.graphics;
        var top = (HEIGHT - 6) / 2;
        g.clear();
        g.beginFill(0, 0); // the whole strip takes clicks, not only the thin track
        g.drawRect(0, 0, seekWidth, HEIGHT);
        g.endFill();
        g.beginFill(vars.brightColor);
        g.drawRect(0, top, seekWidth, 6);
        g.endFill();
        g.beginFill(vars.controlColor, 0.35);
        g.drawRect(0, top, seekWidth * loaded, 6);
        g.endFill();
        g.beginFill(seekHover ? vars.hoverColor : vars.controlColor);
        g.drawRect(0, top, seekWidth * played, 6);
        g.endFill();
    }

    function drawPlayIcon(g:Graphics, c:Int) {
        g.beginFill(c);
        if (playing) {
            g.drawRect(8, 7, 3, 10);
            g.drawRect(13, 7, 3, 10);
        } else {
            g.moveTo(8, 6);
            g.lineTo(18, 12);
            g.lineTo(8, 18);
            g.lineTo(8, 6);
        }
        g.endFill();
    }

    function drawMuteIcon(g:Graphics, c:Int) {
        g.beginFill(c);
        g.moveTo(5, 10);
        g.lineTo(8, 10);
        g.lineTo(12, 6);
        g.lineTo(12, 18);
        g.lineTo(8, 14);
        g.lineTo(5, 14);
        g.lineTo(5, 10);
        g.endFill();
        g.lineStyle(1.5, c);
        if (muted) {
            g.moveTo(14, 9);
            g.lineTo(19, 15);
            g.moveTo(19, 9);
            g.lineTo(14, 15);
        } else {
            g.moveTo(14, 9);
            g.curveTo(16, 12, 14, 15);
            g.moveTo(16, 7);
            g.curveTo(20, 12, 16, 17);
        }
        g.lineStyle();
    }

    function drawFullScreenIcon(g:Graphics, c:Int) {
        g.lineStyle(2, c);
        for (corner in [[6, 6, 1, 1], [18, 6, -1, 1], [6, 18, 1, -1], [18, 18, -1, -1]]) {
            g.moveTo(corner[0], corner[1] + 4 * corner[3]);
            g.lineTo(corner[0], corner[1]);
            g.lineTo(corner[0] + 4 * corner[2], corner[1]);
        }
        g.lineStyle();
    }
}

/** A square button that draws its icon in the control colour, or the hover colour under the pointer. */
private class IconButton extends Sprite {
    var vars:FlashVars;
    var drawIcon:Graphics->Int->Void;
    var hover = false;

    public function new(vars:FlashVars, drawIcon:Graphics->Int->Void, action:Void->Void) {
        super();
        this.vars = vars;
        this.drawIcon = drawIcon;
        buttonMode = true;
        addEventListener(MouseEvent.ROLL_OVER, function(_) { hover = true; redraw(); });
        addEventListener(MouseEvent.ROLL_OUT, function(_) { hover = false; redraw(); });
        addEventListener(MouseEvent.CLICK, function(_) action());
        redraw();
    }

    public function redraw() {
        graphics.clear();
        graphics.beginFill(vars.darkColor);
        graphics.drawRect(0, 0, 24, 24);
        graphics.endFill();
        drawIcon(graphics, hover ? vars.hoverColor : vars.controlColor);
    }
}
