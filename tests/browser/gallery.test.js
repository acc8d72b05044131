#!/usr/bin/env node
/*
 * A site that `vidlume-cli site` makes from a small archive (an H.264 FLV, a
 * Sorenson FLV in a subfolder, a damaged one): its gallery shows a picture and a
 * title for each video it holds, has no WCAG violation under axe,
 * and its links lead to pages that play in Chromium, from file:// and from
 * 127.0.0.1, on a desktop and on a 390x844 phone.
 *
 * Usage: node gallery.test.js VIDLUME_CLI WORK_DIR
 * Exit codes: 0 passed, 1 failed, 77 skipped (Chromium or ffmpeg not installed).
 */
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {pathToFileURL} = require('node:url');
const {after, before, test} = require('node:test');
const kit = require('./browser-kit');

const [cli, workRoot] = process.argv.slice(2);
if (!cli || !workRoot) {
    console.error('usage: gallery.test.js VIDLUME_CLI WORK_DIR');
    process.exit(2);
}
if (!fs.existsSync(kit.CHROMIUM) || !kit.which('ffmpeg')) {
    console.log(`skipped: needs ${kit.CHROMIUM} and ffmpeg (scripts/install-deps.sh test installs them)`);
    process.exit(kit.SKIP);
}

let work = null;
let site = null;
let server = null;
let chromium = null;

before(async () => {
    fs.mkdirSync(workRoot, {recursive: true});
    work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    const archive = path.join(work, 'archive');
    fs.mkdirSync(path.join(archive, 'trips'), {recursive: true});
    kit.ffmpeg(['-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25:duration=3',
                '-f', 'lavfi', '-i', 'sine=frequency=440:duration=3',
                '-c:v', 'libx264', '-preset', 'ultrafast', '-pix_fmt', 'yuv420p', '-c:a', 'aac', '-b:a', '48k',
                '-f', 'flv', path.join(archive, 'Opening talk.flv')]);
    kit.ffmpeg(['-f', 'lavfi', '-i', 'testsrc2=size=160x120:rate=15:duration=3',
                '-c:v', 'flv1', '-q:v', '6', '-f', 'flv', path.join(archive, 'trips', 'beach.flv')]);
    fs.writeFileSync(path.join(archive, 'trips', 'broken.flv'), Buffer.alloc(5000, 7));
    site = path.join(work, 'site');
    const made = kit.run(cli, ['site', '-j', '2', '--out', site, archive], [0, 3]);
    assert.equal(made.status, 3, 'the damaged video is left out and said so');
    server = await kit.startServer({'/': site});
    chromium = await kit.launchChromium();
});

after(async () => {
    if (chromium) {
        await kit.closeChromium(chromium);
    }
    if (server) {
        server.closeAllConnections();
        server.close();
    }
    if (work) {
        fs.rmSync(work, {recursive: true, force: true});
    }
});

const places = [['file://', () => pathToFileURL(path.join(site, 'index.htm')).href],
                ['127.0.0.1', () => `http://127.0.0.1:${server.address().port}/index.htm`]];
const screens = [['desktop', {width: 1280, height: 800}], ['phone', {width: 390, height: 844}]];

for (const [where, url] of places) {
    for (const [screen, viewport] of screens) {
        test(`the gallery from ${where} on a ${screen} shows every video and its pages play`, async () => {
            const page = await chromium.browser.newPage({viewport});
            const problems = [];
            page.on('pageerror', (e) => problems.push(e.message));
            try {
                await page.goto(url());
                const links = page.locator('main a[href$="index.htm"]');
                assert.equal(await links.count(), 2);
                const titles = await page.locator('main .title').allTextContents();
                assert.deepEqual(titles.sort(), ['Opening talk', 'beach']);
                // Every picture there is has loaded.
                const pictures = await page.locator('main img').evaluateAll(
                    (images) => images.map((i) => i.complete && i.naturalWidth > 0));
                assert.ok(pictures.length >= 1 && pictures.every(Boolean), `pictures: ${pictures}`);
                // Nothing wider than the screen.
                assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));

                await page.addScriptTag({path: require.resolve('axe-core/axe.min.js')});
                const violations = await page.evaluate(async () => (await window.axe.run(document, {
                    runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'],
                })).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`));
                assert.deepEqual(violations, []);
                if (screen === 'phone') {
                    await page.screenshot({path: path.join(workRoot, `gallery-${where === 'file://' ? 'file' : 'http'}.png`)});
                }

                await page.locator('main a', {hasText: 'Opening talk'}).click();
                const video = page.locator('.vidlume-html5 video');
                await video.waitFor({timeout: 10000});
                await video.evaluate((v) => {
                    v.muted = true;
                    return v.play();
                });
                await page.waitForFunction(() => {
                    const v = document.querySelector('video');
                    return !v || v.error || v.currentTime > 0.5;
                }, null, {timeout: 20000});
                assert.equal(await page.evaluate(() => document.querySelector('video').error), null);
                assert.deepEqual(problems, []);
            } finally {
                await page.close();
            }
        });
    }
}
