#!/usr/bin/env node
/*
 * Publishes a real H.264 + AAC FLV with the HTML5 player, serves the new folder on
 * 127.0.0.1 and plays it in headless Chromium.
 *
 * Usage: node html5-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]
 * Exit codes: 0 passed, 1 failed, 77 skipped (Chromium or ffmpeg not installed).
 */
'use strict';

const assert = require('node:assert/strict');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');

const CHROMIUM = '/usr/bin/chromium';
const SKIP = 77;
const WATCHDOG_MS = 150000;

const LOGO_WIDTH = 80;

function which(program) {
    return childProcess.spawnSync('sh', ['-c', `command -v ${program}`]).status === 0;
}

function run(program, args) {
    const result = childProcess.spawnSync(program, args, {encoding: 'utf8'});
    if (result.error || result.status !== 0) {
        throw new Error(`${program} ${args.join(' ')} failed (${result.status}): ${result.stderr}`);
    }
    return result;
}

function ffmpeg(args) {
    run('ffmpeg', ['-nostdin', '-v', 'error', '-y', ...args]);
}

/* Writes the video and the two images into dir. The video's name has a blank, so
   the source reaches the server as "%20" only when the page's value is read right. */
function makeMedia(dir) {
    const media = {
        video: path.join(dir, 'my clip.flv'),
        poster: path.join(dir, 'poster.png'),
        logo: path.join(dir, 'logo.png'),
    };
    ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=640x360:rate=25:duration=3',
            '-f', 'lavfi', '-i', 'sine=frequency=440:duration=3',
            '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-profile:v', 'baseline',
            '-c:a', 'aac', '-shortest', '-f', 'flv', media.video]);
    ffmpeg(['-f', 'lavfi', '-i', 'color=c=0x203050:s=640x360', '-frames:v', '1', media.poster]);
    // The logo carries a word when the font that the build installs is there.
    const font = '/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf';
    const word = fs.existsSync(font)
        ? `,drawtext=fontfile=${font}:text=LOGO:fontsize=34:fontcolor=white:x=(w-tw)/2:y=(h-th)/2`
        : '';
    ffmpeg(['-f', 'lavfi', '-i', `color=c=0xE08020:s=160x60${word}`, '-frames:v', '1', media.logo]);
    return media;
}

/* Serves root over HTTP on a free port of 127.0.0.1; /landing answers any query. */
function startServer(root) {
    const types = {'.htm': 'text/html', '.js': 'text/javascript', '.png': 'image/png',
                   '.flv': 'video/x-flv', '.txt': 'text/plain'};
    const server = http.createServer((req, res) => {
        const url = new URL(req.url, 'http://127.0.0.1');
        if (url.pathname === '/landing') {
            res.writeHead(200, {'Content-Type': 'text/html'});
            res.end('<html><body>landed</body></html>');
            return;
        }
        let file = '';
        try {
            file = path.join(root, decodeURIComponent(url.pathname));
        } catch (e) {
            // a malformed escape names no file
        }
        if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
            res.writeHead(404);
            res.end();
            return;
        }
        res.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                            'Content-Length': fs.statSync(file).size});
        fs.createReadStream(file).pipe(res);
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function publish(cli, media, outDir, logoLink) {
    const result = run(cli, ['--html5', '--size', '640x360', '--autoplay',
                             '--thumbnail', '--thumbnail-image', media.poster,
                             '--logo', '--logo-image', media.logo, '--logo-alpha', '50',
                             '--logo-position', 'bottom-right', '--logo-width', String(LOGO_WIDTH),
                             '--logo-link', logoLink, '--out', outDir, media.video]);
    const folder = result.stdout.trim();
    assert.ok(fs.existsSync(path.join(folder, 'index.htm')), `no index.htm in "${folder}"`);
    for (const name of ['vidlume-html5.js', 'mpegts.js', 'mpegts.js.LICENSE.txt', 'my clip.flv']) {
        assert.ok(fs.existsSync(path.join(folder, name)), `${name} was not published`);
    }
    return folder;
}

async function checkPlayback(page, pageUrl, logoLink, screenshot) {
    const problems = [];
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    page.on('console', (m) => {
        if (m.type() === 'error' && !m.text().startsWith('Failed to load resource')) {
            problems.push(`console: ${m.text()}`);
        }
    });
    page.on('response', (r) => {
        if (r.status() >= 400) {
            problems.push(`HTTP ${r.status()}: ${r.url()}`);
        }
    });

    await page.goto(pageUrl);
    const video = page.locator('video');
    await video.waitFor({timeout: 10000});
    assert.equal(await page.locator('object').count(), 0, 'the Flash element is still there');

    await page.waitForFunction(() => {
        const v = document.querySelector('video');
        return (v && v.error) || (v && v.currentTime > 1);
    }, null, {timeout: 20000});
    const state = await video.evaluate((v) => ({
        time: v.currentTime, error: v.error && v.error.message, muted: v.muted, poster: v.poster,
    }));
    assert.equal(state.error, null, `the video failed: ${state.error}`);
    assert.ok(state.time > 1, `currentTime ${state.time}`);
    assert.ok(state.muted, 'an autoplaying video must be muted');
    assert.ok(state.poster.endsWith('/poster.png'), `poster ${state.poster}`);
    assert.deepEqual(problems, []);

    const logo = page.locator('a.vidlume-logo img');
    const videoBox = await video.boundingBox();
    const logoBox = await logo.boundingBox();
    const near = (a, b) => Math.abs(a - b) <= 1;
    assert.equal(videoBox.width, 640);
    assert.equal(videoBox.height, 360);
    assert.ok(near(logoBox.x + logoBox.width, videoBox.x + videoBox.width) &&
              near(logoBox.y + logoBox.height, videoBox.y + videoBox.height),
              `logo ${JSON.stringify(logoBox)} is not in the bottom-right corner of ${JSON.stringify(videoBox)}`);
    assert.equal(logoBox.width, LOGO_WIDTH);
    assert.equal(await logo.evaluate((img) => getComputedStyle(img).opacity), '0.5');

    if (screenshot) {
        // With the pointer over the video its controls show, as a visitor sees them.
        await page.mouse.move(videoBox.x + videoBox.width / 2, videoBox.y + videoBox.height / 2);
        await page.waitForTimeout(300);
        await page.screenshot({path: screenshot});
    }

    const [popup] = await Promise.all([page.context().waitForEvent('page', {timeout: 10000}),
                                       logo.click()]);
    await popup.waitForLoadState();
    assert.equal(popup.url(), logoLink, 'the logo opened another address');
    assert.equal(await popup.evaluate(() => window.opener), null, 'the link page can reach its opener');
    await popup.close();
}

/* Without mpegts.js the page stays as it was and says why in the console. */
async function checkWithoutMpegts(context, pageUrl) {
    const page = await context.newPage();
    await page.route('**/mpegts.js', (route) => route.abort());
    const messages = [];
    page.on('console', (m) => messages.push(m.text()));
    await page.goto(pageUrl);
    await page.waitForLoadState('load');
    assert.equal(await page.locator('object embed[flashvars]').count(), 1, 'the Flash element was removed');
    assert.equal(await page.locator('video').count(), 0);
    assert.ok(messages.some((m) => m.includes('mpegts.js is not loaded')), JSON.stringify(messages));
    await page.close();
}

async function main() {
    const [cli, workRoot] = process.argv.slice(2);
    const shotIndex = process.argv.indexOf('--screenshot');
    const screenshot = shotIndex > 0 ? path.resolve(process.argv[shotIndex + 1]) : null;
    if (!cli || !workRoot) {
        console.error('usage: html5-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]');
        return 2;
    }
    if (!fs.existsSync(CHROMIUM) || !which('ffmpeg')) {
        console.log(`skipped: needs ${CHROMIUM} and ffmpeg (scripts/install-deps.sh test installs them)`);
        return SKIP;
    }
    const {chromium} = require('playwright-core');

    fs.mkdirSync(workRoot, {recursive: true});
    const work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    const outDir = path.join(work, 'out');
    let server = null;
    let browserServer = null;
    let browser = null;
    const watchdog = setTimeout(() => {
        console.error('the browser test hangs; stopping it');
        if (browserServer) {
            process.kill(browserServer.process().pid, 'SIGKILL');
        }
        process.exit(1);
    }, WATCHDOG_MS);

    try {
        const media = makeMedia(work);
        server = await startServer(outDir);
        const base = `http://127.0.0.1:${server.address().port}`;
        // The "&" and the "+" must reach the browser as they were typed.
        const logoLink = `${base}/landing?a=1&b=2+3`;
        const folder = publish(cli, media, outDir, logoLink);
        const pageUrl = `${base}/${encodeURIComponent(path.basename(folder))}/index.htm`;

        // Playwright gives every launch a fresh, temporary user-data dir.
        browserServer = await chromium.launchServer({
            executablePath: CHROMIUM,
            headless: true,
            args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                   '--disable-component-update', '--no-first-run'],
        });
        browser = await chromium.connect(browserServer.wsEndpoint());
        const context = await browser.newContext({viewport: {width: 720, height: 420}});
        await checkPlayback(await context.newPage(), pageUrl, logoLink, screenshot);
        await checkWithoutMpegts(context, pageUrl);
        console.log(`passed: ${pageUrl} played in Chromium ${browser.version()}`);
        return 0;
    } finally {
        clearTimeout(watchdog);
        if (browser) {
            await browser.close().catch(() => {});
        }
        if (browserServer) {
            const pid = browserServer.process().pid;
            await browserServer.close().catch(() => {});
            try {
                process.kill(pid, 'SIGKILL'); // normally gone already
            } catch (e) {
                // ESRCH: the browser has ended
            }
        }
        if (server) {
            server.closeAllConnections();
            server.close();
        }
        fs.rmSync(work, {recursive: true, force: true});
    }
}

main().then((code) => process.exit(code), (error) => {
    console.error(error && error.stack ? error.stack : error);
    process.exit(1);
});
