    /* ---- The player ------------------------------------------------------------ */

    function Player(found, vars) {
        this.vars = vars;
        var objectVars = found.object ? parseFlashvars(pageValue(paramValue(found.object, 'flashvars'))) : {};
        var sizeSource = found.object || found.embed;
        var widthText = sizeSource.getAttribute('width') || '';
        var heightText = sizeSource.getAttribute('height') || '';
        this.width = positiveInteger(widthText);
        this.height = positiveInteger(heightText);

        var wrapper = document.createElement('div');
        this.wrapper = wrapper;
        wrapper.className = 'vidlume-html5';
        wrapper.tabIndex = 0;
        wrapper.setAttribute('role', 'region');
        wrapper.setAttribute('aria-label', 'Video player: ' + stemOf(fileNameOf(vars.source)));
        wrapper.setAttribute('aria-roledescription', 'video player');
        if (this.width && this.height) {
            // Never wider than the page, the chosen size's aspect ratio kept.
            wrapper.style.width = this.width + 'px';
            wrapper.style.aspectRatio = this.width + ' / ' + this.height;
            if (!wrapper.style.aspectRatio) {
                wrapper.style.height = this.height + 'px';
                this.sizeByScript = true;
            }
        } else {
            // A size that is not plain pixels is handed over as written.
            wrapper.style.width = widthText ? (this.width ? this.width + 'px' : widthText) : '640px';
            wrapper.style.height = heightText ? (this.height ? this.height + 'px' : heightText) : '480px';
        }

        var video = document.createElement('video');
        this.video = video;
        video.controls = true;
        // Metadata only until the visitor plays: opening the page must not cost the
        // whole video. Autoplay, and the first play, ask for all of it.
        video.preload = vars.autostart === 'true' ? 'auto' : 'metadata';
        video.addEventListener('play', function () {
            video.preload = 'auto';
        });
        // A tab stop after the player box: from there the browser's own controls,
        // its speed and picture-in-picture menu among them, are reached by Tab.
        video.tabIndex = 0;
        video.setAttribute('aria-label', 'Video: ' + stemOf(fileNameOf(vars.source)));
        video.setAttribute('playsinline', '');
        if (vars.poster) {
            video.poster = referenceToAddress(vars.poster);
        }
        if (vars.autostart === 'true') {
            // Browsers start a video by themselves only when it is muted.
            video.muted = true;
            video.defaultMuted = true;
            video.setAttribute('muted', '');
            video.autoplay = true;
        }
        wrapper.appendChild(video);

        // The area that the picture takes inside the player: the logo's corners.
        this.picture = document.createElement('div');
        this.picture.className = 'vidlume-picture';
        wrapper.appendChild(this.picture);
        // A logo at opacity 0 cannot be seen: it is left out, so that nobody
        // clicks or tabs onto it by accident.
        if (vars.logo && parseInt(vars.logoalpha, 10) !== 0) {
            this.logo = this.makeLogo(objectVars);
            this.picture.appendChild(this.logo);
        }

        this.status = document.createElement('div');
        this.status.className = 'vidlume-status';
        this.status.setAttribute('role', 'status');
        this.status.setAttribute('aria-live', 'polite');
        wrapper.appendChild(this.status);
        this.said = {};
        // What the keys do, read out with the player's name.
        var help = document.createElement('div');
        help.className = 'vidlume-status';
        help.id = 'vidlume-keys-' + Math.floor(Math.random() * 1e9);
        help.appendChild(document.createTextNode(KEYS_HELP));
        wrapper.appendChild(help);
        wrapper.setAttribute('aria-describedby', help.id);
        this.fontSize();
    }

