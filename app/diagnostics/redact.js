'use strict';
// What never leaves the PC in a diagnostics bundle: every secret and personal detail in a text
// is replaced by a placeholder that says what stood there.

// A JSON web token, as the Minecraft services' access tokens are
const WEB_TOKEN = /\beyJ[\w-]+\.[\w-]+\.[\w-]+/g;
// Microsoft's refresh tokens: "M.C5…_BAY." followed by a long opaque text
const REFRESH_TOKEN = /\bM\.[A-Z0-9]+_[A-Z0-9]+\.[\w!*$.-]{20,}/g;
const TOKEN_ARGUMENT = /(--accessToken[\s"=]+)[^\s"]+/g;
const TOKEN_FIELD = /("(?:accessToken|access_token|refreshToken|refresh_token|mcToken|refresh)"\s*:\s*")[^"]*/g;
const EMAIL = /[\p{L}\p{N}._%+-]+@[\p{L}\p{N}-]+(?:\.[\p{L}\p{N}-]+)*\.\p{L}{2,}/gu;
// The folder after "Users" (one or two backslashes, as in JSON, or a slash) or "/home/" is the
// user's name; so is the value of USERNAME in a JVM's environment listing.
const USER_FOLDER = /(\bUsers(?:\\\\|\\|\/)|\/home\/)[^\\/\r\n"'<>|:*?]+/gi;
const USER_VARIABLE = /^(\s*USERNAME\s*=\s*).*$/gim;

/**
 * A function that gives `text` with the secrets of `account` (the Minecraft token, the refresh
 * token and the Xbox user id, wherever they stand) and any token, e-mail address or Windows user
 * name in a path replaced by placeholders. The Minecraft profile name stays: the game shows it
 * to everyone anyway, and support needs it.
 */
function redactor(account) {
  const secrets = [[account?.mcToken, '<minecraft-token>'], [account?.refresh, '<refresh-token>'], [account?.xuid, '<xuid>']]
    .filter(([value]) => typeof value === 'string' && value.length >= 4);
  return (text) => {
    let out = String(text);
    for (const [value, mark] of secrets) out = out.split(value).join(mark);
    return out
      .replace(TOKEN_ARGUMENT, '$1<minecraft-token>')
      .replace(TOKEN_FIELD, '$1<gizli>')
      .replace(WEB_TOKEN, '<token>')
      .replace(REFRESH_TOKEN, '<refresh-token>')
      .replace(EMAIL, '<e-posta>')
      .replace(USER_FOLDER, '$1<kullanıcı>')
      .replace(USER_VARIABLE, '$1<kullanıcı>');
  };
}

module.exports = { redactor };
