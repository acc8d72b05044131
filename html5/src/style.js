    /* ---- Style ---------------------------------------------------------------- */

    // The player's own elements first go back to the browser's own look, so that
    // no rule of the page (its "a:hover" paints a pale box) changes how they look.
    // The id in the scope outweighs the page's rules for elements, classes and
    // states; the player's rules after the reset carry at least the same weight.
    var SCOPE = '.vidlume-html5:not(#vidlume-unused)';
    var STYLE = [
        '&,& a,& img,& span,& div,& button,& video{all:revert}',
        '&{position:relative;display:inline-block;vertical-align:top;max-width:100%;margin:0;padding:0;',
        'border:0;background:#000;text-align:left;line-height:normal;outline:none}',
        // Two colours: one of them stands out by 3:1 or more from any background.
        '&:focus-visible,& .vidlume-sound:focus-visible,& .vidlume-logo:focus-visible{',
        'outline:3px solid #fff;outline-offset:0;box-shadow:0 0 0 6px #000}',
        // ...but not while the focus came from a tap or click, until the next key.
        '&.vidlume-pointer:focus-visible{outline:none;box-shadow:none}',
        '& video{display:block;width:100%;height:100%;background:#000;outline:none}',
        '& .vidlume-picture{position:absolute;left:0;top:0;width:100%;height:100%;pointer-events:none}',
        '& .vidlume-logo{position:absolute;z-index:1;display:block;line-height:0;background:transparent;',
        'pointer-events:auto}',
        '& .vidlume-logo img{display:block;border:0;padding:0;margin:0;width:100%;height:auto}',
        '& .vidlume-sound{position:absolute;z-index:2;top:8px;left:50%;transform:translateX(-50%);',
        'display:flex;align-items:center;gap:6px;margin:0;padding:6px 12px;border:2px solid #fff;',
        'border-radius:18px;background:rgba(0,0,0,.78);color:#fff;font:bold 14px/20px sans-serif;',
        'cursor:pointer;white-space:nowrap}',
        '& .vidlume-sound svg{width:20px;height:20px;fill:#fff}',
        '& .vidlume-failure{position:absolute;z-index:3;left:0;top:0;right:0;bottom:0;display:flex;',
        'align-items:center;justify-content:center;box-sizing:border-box;padding:1em 8%;overflow:hidden;',
        'background:#111;color:#fff;text-align:center;font-family:sans-serif;line-height:1.35}',
        '& .vidlume-status{position:absolute;width:1px;height:1px;margin:-1px;padding:0;border:0;',
        'overflow:hidden;clip:rect(0 0 0 0);clip-path:inset(50%);white-space:nowrap}',
        // On a phone the player fills the width it has, its aspect ratio kept.
        '@media (max-width:480px){&{width:100%!important}}',
        // No fading or moving for a visitor who asked the system for less motion,
        // the browser's own controls included where it lets a page say so.
        '@media (prefers-reduced-motion:reduce){&,& *,& video::-webkit-media-controls-panel,',
        '& video::-webkit-media-controls-overlay-play-button{transition:none!important;animation:none!important;',
        'scroll-behavior:auto!important}}',
    ].join('').replace(/&/g, SCOPE);

    function addStyle() {
        var style = document.createElement('style');
        style.appendChild(document.createTextNode(STYLE));
        (document.head || document.documentElement).appendChild(style);
    }

