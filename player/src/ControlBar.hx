import flash.display.Graphics;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/**
 * The strip laid over the bottom of the picture: play/pause, a seek bar that shows
 * what has loaded, what has played and where a seek will land, with the time under
 * the pointer above it, elapsed and total time, mute, a volume slider and full screen.
 * Background in the dark colour, the seek track in the bright colour, icons in the
 * control colour and the control under the pointer in the hover colour.
 */
class ControlBar extends Sprite {
    public static inline var HEIGHT = 24;
    static inline var BUTTON = 24;
    static inline var SLIDER = 50;

    /** Play or pause. */
    public var onToggle:Void->Void;
    public var onMute:Void->Void;
    public var onFullScreen:Void->Void;
    /** A share of the video chosen on the seek bar; done is false while the pointer still drags. */
    public var onSeek:Float->Bool->Void;
    /** A volume from 0 to 1 chosen on the slider. */
    public var onVolume:Float->Void;

    var vars:FlashVars;
    var playButton:IconButton;
    var muteButton:IconButton;
    var fullButton:IconButton;
    var seek = new Sprite();
    var slider = new Sprite();
    var time:TextField;
    var tip:TextField;
    var barWidth = 0.0;
    var seekWidth = 0.0;
    var seekHover = false;
    var loaded = 0.0;
    var played = 0.0;
    var target = -1.0;
    var total = 0.0;
    /** The width kept for the time: that of the longest text the video can show. */
    var timeSpace = 0.0;
    var dragging:Float->Void = null;

    public var playing(default, set):Bool = false;
    public var muted(default, set):Bool = false;
    public var volume(default, set):Float = 1;

    public function new(vars:FlashVars) {
        super();
        this.vars = vars;
        playButton = new IconButton(vars, drawPlayIcon, function() onToggle());
        muteButton = new IconButton(vars, drawMuteIcon, function() onMute());
        fullButton = new IconButton(vars, drawFullScreenIcon, function() onFullScreen());
        seek.buttonMode = true;
        seek.addEventListener(MouseEvent.ROLL_OVER, function(_) { seekHover = true; drawSeek(); });
        seek.addEventListener(MouseEvent.ROLL_OUT, function(_) { seekHover = false; tip.visible = dragging != null; drawSeek(); });
        seek.addEventListener(MouseEvent.MOUSE_MOVE, function(e:MouseEvent) showTip(e.localX));
        seek.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) {
            followPointer(function(x) {
                showTip(x - seek.x);
                onSeek(shareAt(x - seek.x), false);
            }, function(x) onSeek(shareAt(x - seek.x), true));
        });
        slider.buttonMode = true;
        slider.addEventListener(MouseEvent.MOUSE_DOWN, function(_) {
            var level = function(x:Float) onVolume(Math.max(0, Math.min(1, (x - slider.x - 2) / (SLIDER - 4))));
            followPointer(level, level);
        });
        time = textField(11);
        tip = textField(11);
        tip.background = true;
        tip.backgroundColor = vars.darkColor;
        tip.visible = false;
        for (child in [playButton, seek, (cast time : flash.display.DisplayObject), muteButton, slider, fullButton, tip]) {
            addChild(child);
        }
        setTimes(0, 0);
    }

    function textField(size:Int):TextField {
        var field = new TextField();
        field.selectable = false;
        field.mouseEnabled = false;
        field.autoSize = TextFieldAutoSize.LEFT;
        field.defaultTextFormat = new TextFormat("_sans", size, vars.controlColor);
        return field;
    }

    /**
     * Follows the pointer on the stage until the button is let go: move gets the
     * pointer's x in the bar at the press and each move, release at the end.
     */
    function followPointer(move:Float->Void, release:Float->Void) {
        var stage = flash.Lib.current.stage;
        dragging = move;
        move(mouseX);
        var onMove:MouseEvent->Void = null;
        var onUp:MouseEvent->Void = null;
        onMove = function(_) move(mouseX);
        onUp = function(_) {
            stage.removeEventListener(MouseEvent.MOUSE_MOVE, onMove);
            stage.removeEventListener(MouseEvent.MOUSE_UP, onUp);
            dragging = null;
            tip.visible = seekHover;
            release(mouseX);
        };
        stage.addEventListener(MouseEvent.MOUSE_MOVE, onMove);
        stage.addEventListener(MouseEvent.MOUSE_UP, onUp);
    }

    function shareAt(x:Float):Float {
        return seekWidth > 0 ? Math.max(0, Math.min(1, x / seekWidth)) : 0;
    }

    /** True while the pointer holds the seek bar or the volume slider. */
    public function busy():Bool {
        return dragging != null;
    }

    function showTip(x:Float) {
        if (total <= 0) {
            tip.visible = false;
            return;
        }
        tip.text = " " + TimeText.clock(shareAt(x) * total, total) + " ";
        tip.x = Math.max(0, Math.min(barWidth - tip.width, seek.x + x - tip.width / 2));
        tip.y = -tip.height - 2;
        tip.visible = true;
    }

    public function layout(width:Float) {
        barWidth = width;
        graphics.clear();
        graphics.beginFill(vars.darkColor, 0.75);
        graphics.drawRect(0, 0, width, HEIGHT);
        graphics.endFill();
        fullButton.x = width - BUTTON;
        slider.x = fullButton.x - SLIDER - 2;
        muteButton.x = slider.x - BUTTON;
        time.x = muteButton.x - time.width - 4;
        time.y = (HEIGHT - time.height) / 2;
        seek.x = BUTTON + 4;
        seekWidth = Math.max(0, muteButton.x - 4 - timeSpace - 8 - seek.x);
        drawSeek();
        drawSlider();
    }

    /** Shares of the video loaded and shown, each from 0 to 1. */
    public function setProgress(loaded:Float, played:Float) {
        if (loaded != this.loaded || played != this.played) {
            this.loaded = loaded;
            this.played = played;
            drawSeek();
        }
    }

    /** The share where a seek that waits for its part of the video will land; -1 for none. */
    public function setTarget(share:Float) {
        if (share != target) {
            target = share;
            drawSeek();
        }
    }

    public function setTimes(elapsed:Float, total:Float) {
        if (total != this.total || timeSpace == 0) {
            this.total = total;
            time.text = TimeText.widest(total);
            if (time.width != timeSpace) {
                timeSpace = time.width;
                layout(barWidth);
            }
        }
        var text = TimeText.elapsedOfTotal(elapsed, total);
        if (time.text != text) {
            time.text = text;
            time.x = muteButton.x - time.width - 4; // against the mute button; the seek bar keeps its width
        }
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
            drawSlider();
        }
        return value;
    }

    function set_volume(value:Float):Float {
        if (value != volume) {
            volume = value;
            muteButton.redraw();
            drawSlider();
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
        var colour = seekHover ? vars.hoverColor : vars.controlColor;
        g.beginFill(colour);
        g.drawRect(0, top, seekWidth * played, 6);
        g.endFill();
        if (target >= 0) {
            // Where a seek past the loaded part will land: a hollow mark it waits at.
            g.lineStyle(2, vars.hoverColor);
            g.drawCircle(seekWidth * target, HEIGHT / 2, 5);
            g.lineStyle();
        } else if (seekWidth > 0) {
            g.beginFill(colour);
            g.drawCircle(seekWidth * played, HEIGHT / 2, 5);
            g.endFill();
        }
    }

    function drawSlider() {
        var g = slider.graphics;
        var level = muted ? 0 : volume;
        g.clear();
        g.beginFill(0, 0);
        g.drawRect(0, 0, SLIDER, HEIGHT);
        g.endFill();
        g.beginFill(vars.brightColor);
        g.drawRect(2, HEIGHT / 2 - 2, SLIDER - 4, 4);
        g.endFill();
        g.beginFill(vars.controlColor);
        g.drawRect(2, HEIGHT / 2 - 2, (SLIDER - 4) * level, 4);
        g.drawCircle(2 + (SLIDER - 4) * level, HEIGHT / 2, 4);
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
        if (muted || volume == 0) {
            g.moveTo(14, 9);
            g.lineTo(19, 15);
            g.moveTo(19, 9);
            g.lineTo(14, 15);
        } else {
            g.moveTo(14, 9);
            g.curveTo(16, 12, 14, 15);
            if (volume > 0.5) {
                g.moveTo(16, 7);
                g.curveTo(20, 12, 16, 17);
            }
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
        graphics.beginFill(0, 0); // the whole square takes clicks
        graphics.drawRect(0, 0, 24, 24);
        graphics.endFill();
        drawIcon(graphics, hover ? vars.hoverColor : vars.controlColor);
    }
}
