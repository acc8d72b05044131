import flash.display.Sprite;

/** The turning ring shown in the middle of the picture while the player waits for the video. */
class BusyIndicator extends Sprite {
    static inline var DOTS = 10;

    public function new(colour:Int) {
        super();
        mouseEnabled = mouseChildren = false;
        visible = false;
        for (i in 0...DOTS) {
            var angle = 2 * Math.PI * i / DOTS;
            graphics.beginFill(colour, 0.25 + 0.75 * i / DOTS);
            graphics.drawCircle(Math.cos(angle) * 18, Math.sin(angle) * 18, 3.5);
            graphics.endFill();
        }
    }

    /** Turns by one step; called each frame while shown. */
    public function step() {
        if (visible) rotation = (rotation + 360 / DOTS / 3) % 360;
    }
}
