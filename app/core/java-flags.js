'use strict';
// The system properties every Java the launcher starts gets, the game's profile in the official
// launcher too. With a Turkish default locale "I".toLowerCase() gives a dotless "ı", and mods that
// build registry names that way fail at start; an English locale for the JVM avoids it, while the
// game's own language stays Turkish through options.txt. Piped output is otherwise written in the
// Windows code page (Cp1254 on a Turkish PC), which the launcher, reading UTF-8, would garble.

/** JVM options, each one argument, to go before the main class or -jar. */
const LOCALE_SAFE_JAVA_FLAGS = Object.freeze([
  '-Duser.language=en',
  '-Duser.country=US',
  '-Dstdout.encoding=UTF-8',
  '-Dstderr.encoding=UTF-8',
]);

module.exports = { LOCALE_SAFE_JAVA_FLAGS };
