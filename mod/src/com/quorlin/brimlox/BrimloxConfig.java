package com.quorlin.brimlox;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The mod's settings from config/brimlox/config.json below the game folder, which the launcher
 * writes before every start. Only the two keys the mod uses are read; a missing or unreadable
 * file, or a key of the wrong kind, leaves that setting at its default.
 */
public final class BrimloxConfig {
    public static final Path FILE = Path.of("config", "brimlox", "config.json");

    private static final Pattern AUTO_JOIN = Pattern.compile("\"autoJoin\"\\s*:\\s*(true|false)");
    private static final Pattern SERVER_ADDRESS =
            Pattern.compile("\"serverAddress\"\\s*:\\s*\"((?:[^\"\\\\]|\\\\.)*)\"");

    public final boolean autoJoin;
    public final String serverAddress;

    BrimloxConfig(boolean autoJoin, String serverAddress) {
        this.autoJoin = autoJoin;
        this.serverAddress = serverAddress;
    }

    public static BrimloxConfig load(Path file) {
        try {
            return parse(Files.readString(file, StandardCharsets.UTF_8));
        } catch (IOException | RuntimeException e) {
            return new BrimloxConfig(false, "localhost");
        }
    }

    static BrimloxConfig parse(String json) {
        Matcher join = AUTO_JOIN.matcher(json);
        Matcher address = SERVER_ADDRESS.matcher(json);
        return new BrimloxConfig(join.find() && join.group(1).equals("true"),
                address.find() ? unescape(address.group(1)) : "localhost");
    }

    // The escapes a JSON string may hold: \" \\ \/ \b \f \n \r \t and \\uXXXX.
    private static String unescape(String text) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c != '\\' || i + 1 >= text.length()) {
                out.append(c);
                continue;
            }
            char e = text.charAt(++i);
            switch (e) {
                case 'b' -> out.append('\b');
                case 'f' -> out.append('\f');
                case 'n' -> out.append('\n');
                case 'r' -> out.append('\r');
                case 't' -> out.append('\t');
                case 'u' -> {
                    out.append((char) Integer.parseInt(text.substring(i + 1, i + 5), 16));
                    i += 4;
                }
                default -> out.append(e);
            }
        }
        return out.toString();
    }

    @Override
    public String toString() {
        return "autoJoin=" + autoJoin + ", serverAddress=" + serverAddress;
    }
}
