# The parts of the HTML5 player, in the order in which the build joins them into
# the one published vidlume-html5.js: intro.js opens the function that holds the
# whole player and start.js closes it, so each part reads the names of the others.
set(vidlume_html5_parts intro addresses page style player layout logo sound controls keys announce captions
    failure start)
