package orvane.test;

import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.util.Properties;

// Records what main was given and which system properties it saw, for the
// test to read back after main returned.
public class Probe {
    private static String[] arguments = new String[0];
    private static Properties seen = new Properties();

    public static void main(String[] args) {
        arguments = args.clone();
        seen = (Properties) System.getProperties().clone();
    }

    // The arguments, each in brackets: [a][b c].
    public static String arguments() {
        StringBuilder text = new StringBuilder();
        for (String argument : arguments)
            text.append('[').append(argument).append(']');
        return text.toString();
    }

    public static String property(String key) {
        return seen.getProperty(key);
    }

    // Where a relative name resolves and what opening it reads: path|content.
    public static String relativeFile(String name) throws IOException {
        try (FileInputStream in = new FileInputStream(name)) {
            return new File(name).getAbsolutePath() + "|" + new String(in.readAllBytes());
        }
    }
}
