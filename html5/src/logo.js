    /* ---- Logo ----------------------------------------------------------------- */

    Player.prototype.makeLogo = function (objectVars) {
        var self = this;
        var vars = this.vars;
        var img = document.createElement('img');
        img.src = referenceToAddress(vars.logo);
        img.alt = 'Logo';
        var alpha = parseInt(vars.logoalpha, 10);
        if (isFinite(alpha)) {
            img.style.opacity = String(Math.max(0, Math.min(100, alpha)) / 100);
        }

        var box = document.createElement(vars.logolink ? 'a' : 'span');
        if (vars.logolink) {
            box.href = vars.logolink; // a web address: used as typed
            box.target = '_blank';
            box.rel = 'noopener';
            box.setAttribute('aria-label', 'Logo: ' + linkDestination(vars.logolink) + ' (opens in a new window)');
        }
        box.appendChild(img);
        box.className = 'vidlume-logo';
        var corner = (vars.logoposition || 'top left').split(' ');
        box.style[corner[0] === 'bottom' ? 'bottom' : 'top'] = corner[0] === 'bottom' ? CONTROLS_HEIGHT + 'px' : '0';
        box.style[corner[1] === 'right' ? 'right' : 'left'] = '0';
        this.logoOnTheRight = corner[1] === 'right';

        // The logo keeps its share of the chosen width, so it scales with the
        // picture. The embed element always says 100 here; the width that was
        // typed in reaches only the object element's flashvars.
        var width = leadingInteger(objectVars.logowidth) || leadingInteger(vars.logowidth);
        var chosen = this.width;
        var setWidth = function (pixels) {
            box.style.width = chosen ? (100 * pixels / chosen) + '%' : pixels + 'px';
            box.style.maxWidth = '100%';
        };
        if (width) {
            setWidth(width);
        }
        img.addEventListener('load', function () {
            if (!width) {
                setWidth(img.naturalWidth);
            }
            self.placeSoundHint();
        });
        return box;
    };

    /* Where a link goes, in a few words: the host of an address with one, or the
       address as typed. */
    function linkDestination(address) {
        var match = /^[A-Za-z][A-Za-z0-9+.\-]*:\/\/([^\/?#]+)/.exec(address) || /^\/\/([^\/?#]+)/.exec(address);
        return match ? match[1].replace(/^[^@]*@/, '') : address;
    }

